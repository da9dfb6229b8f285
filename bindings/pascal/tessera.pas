{ tessera.pas -- the Tessera checks for Free Pascal and Delphi }
unit Tessera;

interface

const
{$ifdef windows}
  TesseraLib = 'Tessera.DLL';
{$else}
  { Linked as -ltessera (libtessera.so); the program then loads libtessera.so.1. }
  TesseraLib = 'tessera';
{$endif}

{ Yes is -1 and no is 0; CheckGPANoAge answers the age, 0 when not valid. }
{ Made from frame/operations.h (functions): the tessera_bindings target writes it. }
{ -1 when the number has the length and first characters of American Express. }
function IsAmex(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
{ -1 when the number has the length and first characters of Diners Club. }
function IsDC(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
{ -1 when the number has the length and first characters of Discover. }
function IsDisc(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
{ -1 when the number has the length and first characters of JCB. }
function IsJCB(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
{ -1 when the number has the length and first characters of MasterCard. }
function IsMC(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
{ -1 when the number has the length and first characters of Visa. }
function IsVisa(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
{ -1 when the number has the length and first characters of any of the six card brands. }
function CheckOrganization(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
{ -1 when the number passes the Luhn (mod 10) checksum; characters that are not digits count 0 but
  keep their place, so the empty text passes. }
function CheckNumber(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
{ -1 when the number is a valid card number: it has a known brand and passes the Luhn checksum. }
function CheckCard(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
{ -1 when the number is a GPA number: its layout and its four 7-3-1 check digits are right. }
function CheckGPANo(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
{ -1 when the number is a GPA number that has NOT expired today, the expiry day included (yes means
  still valid, despite the name). }
function CheckGPANoExpired(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
{ The holder's age in years today, from the two-digit years alone (1 to 100), 0 when the number is
  not a GPA number. }
function CheckGPANoAge(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
{ End of the part made from frame/operations.h (functions). }

implementation

end.
