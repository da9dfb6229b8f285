// Tessera.cs -- the Tessera checks for C# and other .NET languages
using System;
using System.Runtime.InteropServices;

public static class Tessera
{
    // Yes is -1 and no is 0; CheckGPANoAge answers the age, 0 when not valid.
    // A null text is the empty text. A character above U+00FF throws ArgumentException.
    // Made from frame/operations.h (checks): the tessera_bindings target writes it.
    // -1 when the number has the length and first characters of American Express.
    public static int IsAmex(string text) { return Native.IsAmex(Latin1(text)); }
    // -1 when the number has the length and first characters of Diners Club.
    public static int IsDC(string text) { return Native.IsDC(Latin1(text)); }
    // -1 when the number has the length and first characters of Discover.
    public static int IsDisc(string text) { return Native.IsDisc(Latin1(text)); }
    // -1 when the number has the length and first characters of JCB.
    public static int IsJCB(string text) { return Native.IsJCB(Latin1(text)); }
    // -1 when the number has the length and first characters of MasterCard.
    public static int IsMC(string text) { return Native.IsMC(Latin1(text)); }
    // -1 when the number has the length and first characters of Visa.
    public static int IsVisa(string text) { return Native.IsVisa(Latin1(text)); }
    // -1 when the number has the length and first characters of any of the six card brands.
    public static int CheckOrganization(string text) { return Native.CheckOrganization(Latin1(text)); }
    // -1 when the number passes the Luhn (mod 10) checksum; characters that are not digits count 0
    // but keep their place, so the empty text passes.
    public static int CheckNumber(string text) { return Native.CheckNumber(Latin1(text)); }
    // -1 when the number is a valid card number: it has a known brand and passes the Luhn checksum.
    public static int CheckCard(string text) { return Native.CheckCard(Latin1(text)); }
    // -1 when the number is a GPA number: its layout and its four 7-3-1 check digits are right.
    public static int CheckGPANo(string text) { return Native.CheckGPANo(Latin1(text)); }
    // -1 when the number is a GPA number that has NOT expired today, the expiry day included (yes
    // means still valid, despite the name).
    public static int CheckGPANoExpired(string text) { return Native.CheckGPANoExpired(Latin1(text)); }
    // The holder's age in years today, from the two-digit years alone (1 to 100), 0 when the number
    // is not a GPA number.
    public static int CheckGPANoAge(string text) { return Native.CheckGPANoAge(Latin1(text)); }
    // End of the part made from frame/operations.h (checks).

    // The checks count bytes, so each character becomes the one byte of the
    // same value. The runtime's own string marshalling would not do that: on
    // Windows it converts to the system code page with "best fit", which turns
    // the fullwidth digit U+FF14 into "4", and elsewhere it writes UTF-8, two
    // or three bytes for one character. Characters with no byte are refused.
    static byte[] Latin1(string text)
    {
        if (text == null) return null;
        var bytes = new byte[text.Length + 1];  // the last one is the NUL
        for (int i = 0; i < text.Length; i++)
        {
            if (text[i] > '\u00FF')
                throw new ArgumentException(string.Format(
                    "character U+{0:X4} at index {1} has no 8-bit form; the checks read 8-bit text", (int)text[i], i),
                    "text");
            bytes[i] = (byte)text[i];
        }
        return bytes;
    }

    static class Native
    {
        // StdCall is the convention of the 32-bit module; elsewhere there is only one.
        const string Lib = "Tessera.DLL";
        const CallingConvention Convention = CallingConvention.StdCall;

        // Made from frame/operations.h (imports): the tessera_bindings target writes it.
        [DllImport(Lib, CallingConvention = Convention)] internal static extern int IsAmex(byte[] text);
        [DllImport(Lib, CallingConvention = Convention)] internal static extern int IsDC(byte[] text);
        [DllImport(Lib, CallingConvention = Convention)] internal static extern int IsDisc(byte[] text);
        [DllImport(Lib, CallingConvention = Convention)] internal static extern int IsJCB(byte[] text);
        [DllImport(Lib, CallingConvention = Convention)] internal static extern int IsMC(byte[] text);
        [DllImport(Lib, CallingConvention = Convention)] internal static extern int IsVisa(byte[] text);
        [DllImport(Lib, CallingConvention = Convention)] internal static extern int CheckOrganization(byte[] text);
        [DllImport(Lib, CallingConvention = Convention)] internal static extern int CheckNumber(byte[] text);
        [DllImport(Lib, CallingConvention = Convention)] internal static extern int CheckCard(byte[] text);
        [DllImport(Lib, CallingConvention = Convention)] internal static extern int CheckGPANo(byte[] text);
        [DllImport(Lib, CallingConvention = Convention)] internal static extern int CheckGPANoExpired(byte[] text);
        [DllImport(Lib, CallingConvention = Convention)] internal static extern int CheckGPANoAge(byte[] text);
        // End of the part made from frame/operations.h (imports).
    }
}
