// Tessera.cs -- the Tessera checks for C# and other .NET languages
using System.Runtime.InteropServices;

public static class Tessera
{
    // StdCall is the convention of the 32-bit module; elsewhere there is only one.
    const string Lib = "Tessera.DLL";
    const CallingConvention Convention = CallingConvention.StdCall;

    // Yes is -1 and no is 0; CheckGPANoAge answers the age, 0 when not valid.
    [DllImport(Lib, CallingConvention = Convention, CharSet = CharSet.Ansi)] public static extern int IsAmex(string text);
    [DllImport(Lib, CallingConvention = Convention, CharSet = CharSet.Ansi)] public static extern int IsDC(string text);
    [DllImport(Lib, CallingConvention = Convention, CharSet = CharSet.Ansi)] public static extern int IsDisc(string text);
    [DllImport(Lib, CallingConvention = Convention, CharSet = CharSet.Ansi)] public static extern int IsJCB(string text);
    [DllImport(Lib, CallingConvention = Convention, CharSet = CharSet.Ansi)] public static extern int IsMC(string text);
    [DllImport(Lib, CallingConvention = Convention, CharSet = CharSet.Ansi)] public static extern int IsVisa(string text);
    [DllImport(Lib, CallingConvention = Convention, CharSet = CharSet.Ansi)] public static extern int CheckOrganization(string text);
    [DllImport(Lib, CallingConvention = Convention, CharSet = CharSet.Ansi)] public static extern int CheckNumber(string text);
    [DllImport(Lib, CallingConvention = Convention, CharSet = CharSet.Ansi)] public static extern int CheckCard(string text);
    [DllImport(Lib, CallingConvention = Convention, CharSet = CharSet.Ansi)] public static extern int CheckGPANo(string text);
    [DllImport(Lib, CallingConvention = Convention, CharSet = CharSet.Ansi)] public static extern int CheckGPANoExpired(string text);
    [DllImport(Lib, CallingConvention = Convention, CharSet = CharSet.Ansi)] public static extern int CheckGPANoAge(string text);
}
