' Tessera.bas -- the Tessera checks for VBA and VB6 (32-bit Office or VB6).
' Yes arrives as -1, which is True; CheckGPANoAge answers the age, 0 when not valid.
' Made from frame/operations.h (declarations): the tessera_bindings target writes it.
' True when the number has the length and first characters of American Express.
Declare Function IsAmex Lib "Tessera.DLL" (ByVal Number As String) As Long
' True when the number has the length and first characters of Diners Club.
Declare Function IsDC Lib "Tessera.DLL" (ByVal Number As String) As Long
' True when the number has the length and first characters of Discover.
Declare Function IsDisc Lib "Tessera.DLL" (ByVal Number As String) As Long
' True when the number has the length and first characters of JCB.
Declare Function IsJCB Lib "Tessera.DLL" (ByVal Number As String) As Long
' True when the number has the length and first characters of MasterCard.
Declare Function IsMC Lib "Tessera.DLL" (ByVal Number As String) As Long
' True when the number has the length and first characters of Visa.
Declare Function IsVisa Lib "Tessera.DLL" (ByVal Number As String) As Long
' True when the number has the length and first characters of any of the six card brands.
Declare Function CheckOrganization Lib "Tessera.DLL" (ByVal Number As String) As Long
' True when the number passes the Luhn (mod 10) checksum; characters that are not digits count 0 but
' keep their place, so the empty text passes.
Declare Function CheckNumber Lib "Tessera.DLL" (ByVal Number As String) As Long
' True when the number is a valid card number: it has a known brand and passes the Luhn checksum.
Declare Function CheckCard Lib "Tessera.DLL" (ByVal Number As String) As Long
' True when the number is a GPA number: its layout and its four 7-3-1 check digits are right.
Declare Function CheckGPANo Lib "Tessera.DLL" (ByVal Number As String) As Long
' True when the number is a GPA number that has NOT expired today, the expiry day included (yes
' means still valid, despite the name).
Declare Function CheckGPANoExpired Lib "Tessera.DLL" (ByVal Number As String) As Long
' The holder's age in years today, from the two-digit years alone (1 to 100), 0 when the number is
' not a GPA number.
Declare Function CheckGPANoAge Lib "Tessera.DLL" (ByVal Number As String) As Long
' End of the part made from frame/operations.h (declarations).
