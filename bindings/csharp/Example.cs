// Example.cs -- checks the card numbers given on the command line
using System;

static class Example
{
    static void Main(string[] args)
    {
        foreach (string number in args)  // -1 is yes, 0 is no
            Console.WriteLine("{0}: {1}", number, Tessera.CheckCard(number) != 0 ? "valid" : "invalid");
    }
}
