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
function IsAmex(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
function IsDC(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
function IsDisc(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
function IsJCB(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
function IsMC(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
function IsVisa(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
function CheckOrganization(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
function CheckNumber(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
function CheckCard(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
function CheckGPANo(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
function CheckGPANoExpired(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;
function CheckGPANoAge(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;

implementation

end.
