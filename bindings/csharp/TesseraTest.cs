// TesseraTest.cs -- checks answers through Tessera.cs, as a .NET host gets them
using System;

static class TesseraTest
{
    // The wanted answer, or null where the text must be refused with ArgumentException.
    struct Row
    {
        public string Name, Text, Reason;
        public Func<string, int> Check;
        public int? Wanted;
        public Row(string name, Func<string, int> check, string text, int? wanted, string reason)
        {
            Name = name; Check = check; Text = text; Wanted = wanted; Reason = reason;
        }
    }

    const string FullwidthVisa = "\uFF14\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11";

    static readonly Row[] Rows =
    {
        new Row("CheckCard", Tessera.CheckCard, "4111111111111111", -1, "a 4 and fifteen 1s: a Visa length, Luhn sum 30"),
        new Row("CheckCard", Tessera.CheckCard, "4111111111111", 0, "a 4 and twelve 1s: a Visa length, Luhn sum 22"),
        new Row("IsJCB", Tessera.IsJCB, "3530111333300000", -1, "16 characters starting 3, not American Express"),
        new Row("CheckNumber", Tessera.CheckNumber, null, -1, "null is the empty text, whose sum 0 passes"),
        new Row("CheckGPANo", Tessera.CheckGPANo, "12345678970-7506154-0909309-0", -1,
                "the four check digits 7, 4, 9 and 0 are right"),
        new Row("CheckGPANoExpired", Tessera.CheckGPANoExpired, "12345678970-7506154-0909309-0", 0,
                "it expired on 30 September 2009"),
        new Row("IsDC", Tessera.IsDC, "3600000000000\u00e9", -1, "\u00e9 is one byte: 14 characters starting 36"),
        new Row("CheckCard", Tessera.CheckCard, FullwidthVisa, null,
                "fullwidth digits, which best fit would turn into 4111111111111111"),
        new Row("CheckGPANo", Tessera.CheckGPANo, "12345678970\u22127506154-0909309-0", null,
                "a minus sign U+2212 where the hyphen belongs"),
        new Row("CheckNumber", Tessera.CheckNumber, "\u20AC", null, "the euro sign has a byte in code page 1252 only"),
    };

    static int Main()
    {
        int failed = 0;
        foreach (var row in Rows)
        {
            string answer;
            try { answer = row.Check(row.Text).ToString(); }
            catch (ArgumentException) { answer = "ArgumentException"; }
            string wanted = row.Wanted.HasValue ? row.Wanted.Value.ToString() : "ArgumentException";
            if (answer == wanted) continue;
            Console.WriteLine("FAILED: {0}(\"{1}\"): {2} instead of {3}: {4}", row.Name, row.Text, answer, wanted, row.Reason);
            failed++;
        }
        Console.WriteLine("{0} passed, {1} failed", Rows.Length - failed, failed);
        return failed == 0 ? 0 : 1;
    }
}
