{ example.pas -- checks the card numbers given on the command line }
program Example;

{$mode objfpc}{$H+}

uses Tessera;

var
  I: Integer;
begin
  for I := 1 to ParamCount do
    if CheckCard(PAnsiChar(AnsiString(ParamStr(I)))) <> 0 then  { -1 is yes, 0 is no }
      WriteLn(ParamStr(I), ': valid')
    else
      WriteLn(ParamStr(I), ': invalid');
end.
