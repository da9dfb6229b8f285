// Client.cs -- a C# host that checks a few answers through the Tessera declarations
using System;

static class Client
{
    static int failed;

    static void Expect(int actual, int wanted, string what)
    {
        if (actual == wanted) return;
        Console.WriteLine("FAILED: {0}: {1} instead of {2}", what, actual, wanted);
        failed++;
    }

    static int Main()
    {
        Expect(Tessera.CheckCard("4111111111111111"), -1, "CheckCard of a Visa test number is -1");
        Expect(Tessera.CheckCard("4111111111111"), 0, "CheckCard of 4 and twelve 1s");
        Expect(Tessera.IsJCB("3530111333300000"), -1, "IsJCB");
        Expect(Tessera.CheckNumber(null), -1, "CheckNumber of null");
        Expect(Tessera.CheckGPANo("12345678970-7506154-0909309-0"), -1, "CheckGPANo of the worked example");
        Expect(Tessera.CheckGPANoExpired("12345678970-7506154-0909309-0"), 0, "expired in 2009");
        Console.WriteLine("{0} passed, {1} failed", 6 - failed, failed);
        return failed == 0 ? 0 : 1;
    }
}
