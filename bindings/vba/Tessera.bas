' Tessera.bas -- the Tessera checks for VBA and VB6 (32-bit Office or VB6).
' Yes arrives as -1, which is True; CheckGPANoAge answers the age, 0 when not valid.
Declare Function IsAmex Lib "Tessera.DLL" (ByVal Number As String) As Long
Declare Function IsDC Lib "Tessera.DLL" (ByVal Number As String) As Long
Declare Function IsDisc Lib "Tessera.DLL" (ByVal Number As String) As Long
Declare Function IsJCB Lib "Tessera.DLL" (ByVal Number As String) As Long
Declare Function IsMC Lib "Tessera.DLL" (ByVal Number As String) As Long
Declare Function IsVisa Lib "Tessera.DLL" (ByVal Number As String) As Long
Declare Function CheckOrganization Lib "Tessera.DLL" (ByVal Number As String) As Long
Declare Function CheckNumber Lib "Tessera.DLL" (ByVal Number As String) As Long
Declare Function CheckCard Lib "Tessera.DLL" (ByVal Number As String) As Long
Declare Function CheckGPANo Lib "Tessera.DLL" (ByVal Number As String) As Long
Declare Function CheckGPANoExpired Lib "Tessera.DLL" (ByVal Number As String) As Long
Declare Function CheckGPANoAge Lib "Tessera.DLL" (ByVal Number As String) As Long
