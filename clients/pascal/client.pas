{ client.pas -- a Free Pascal host that checks a few answers through the Tessera unit }
program Client;

uses Tessera;

var
  Failed: Integer = 0;

procedure Expect(Actual, Wanted: LongInt; const What: string);
begin
  if Actual <> Wanted then
  begin
    WriteLn('FAILED: ', What, ': ', Actual, ' instead of ', Wanted);
    Inc(Failed);
  end;
end;

begin
  Expect(CheckCard('4111111111111111'), -1, 'CheckCard of a Visa test number is True (-1)');
  Expect(CheckCard('4111111111111'), 0, 'CheckCard of 4 and twelve 1s');
  Expect(IsAmex('378282246310005'), -1, 'IsAmex');
  Expect(CheckNumber(''), -1, 'CheckNumber of the empty text');
  Expect(CheckGPANo('12345678970-7506154-0909309-0'), -1, 'CheckGPANo of the worked example');
  Expect(CheckGPANoAge('12345678970-7506154-0909309-5'), 0, 'no age for a wrong check digit');
  WriteLn(6 - Failed, ' passed, ', Failed, ' failed');
  if Failed <> 0 then Halt(1);
end.
