{ tessera_test.pas -- checks answers through the Tessera unit, as a Pascal host gets them }
program TesseraTest;

{$mode objfpc}{$H+}

uses Tessera;

type
  TCheck = function(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif};
  TRow = record
    Name: string;
    Check: TCheck;
    Text: PAnsiChar;
    Wanted: LongInt;
    Reason: string;
  end;

const
  Rows: array[0..7] of TRow = (
    (Name: 'CheckCard'; Check: @CheckCard; Text: '4111111111111111'; Wanted: -1;
     Reason: 'a 4 and fifteen 1s: a Visa length, Luhn sum 30'),
    (Name: 'CheckCard'; Check: @CheckCard; Text: '4111111111111'; Wanted: 0;
     Reason: 'a 4 and twelve 1s: a Visa length, Luhn sum 22'),
    (Name: 'IsAmex'; Check: @IsAmex; Text: '378282246310005'; Wanted: -1;
     Reason: '15 characters starting 37'),
    (Name: 'IsAmex'; Check: @IsAmex; Text: '37828224631000'; Wanted: 0;
     Reason: '14 characters are too few'),
    (Name: 'CheckNumber'; Check: @CheckNumber; Text: nil; Wanted: -1;
     Reason: 'nil is the empty text, whose sum 0 passes'),
    (Name: 'CheckGPANo'; Check: @CheckGPANo; Text: '12345678970-7506154-0909309-0'; Wanted: -1;
     Reason: 'the four check digits 7, 4, 9 and 0 are right'),
    (Name: 'CheckGPANoExpired'; Check: @CheckGPANoExpired; Text: '12345678970-7506154-0909309-0'; Wanted: 0;
     Reason: 'it expired on 30 September 2009'),
    (Name: 'CheckGPANoAge'; Check: @CheckGPANoAge; Text: '12345678970-7506154-0909309-5'; Wanted: 0;
     Reason: 'a wrong overall check digit gives no age'));

var
  Row: TRow;
  Answer: LongInt;
  Failed: Integer = 0;

begin
  for Row in Rows do
  begin
    Answer := Row.Check(Row.Text);
    if Answer <> Row.Wanted then
    begin
      WriteLn('FAILED: ', Row.Name, '(''', Row.Text, '''): ', Answer, ' instead of ', Row.Wanted, ': ', Row.Reason);
      Inc(Failed);
    end;
  end;
  WriteLn(Length(Rows) - Failed, ' passed, ', Failed, ' failed');
  if Failed <> 0 then Halt(1);
end.
