// flags.cpp -- the tool's usage, defined once: its commands, its flags and the texts about them
#include "tool/flags.h"

#include <algorithm>
#include <iterator>

namespace tessera::tool {
namespace {

constexpr CommandSet kBoth = kCard | kId;
constexpr CommandSet kAll = kCard | kId | kScan | kRedact;

// The order here is the order of --help and of the manual.
constexpr Flag kFlags[] = {
    {kFileFlag, 'f', "file", "PATH", "Read records from PATH; '-' is standard input. May be given more than once: "
     "inputs, and numbers given as arguments, are read in the order given.", kBoth},
    {kCsvFlag, '\0', "csv", "", "Read CSV records (RFC 4180: fields in double quotes may hold delimiters, "
     "line breaks and doubled quotes) instead of lines.", kBoth},
    {kTsvFlag, 't', "tsv", "", "Read tab-separated records, quoted as in CSV.", kBoth},
    {kDelimiterFlag, 'd', "delimiter", "C", "Fields are separated by the single character C, as ';' in "
     "exports from spreadsheets set up for a decimal comma. Implies --csv.", kBoth},
    {kColumnFlag, 'c', "column", "N|NAME", "Check field N (counted from 1), or the field whose header is NAME "
     "(the first, if the header names it more than once: a message says so). Implies --csv unless --tsv is "
     "given. A field N that the header does not have, or (with --no-header) that no record has, is an error. "
     "Without it the whole line, or the first field, is checked. Given once.", kBoth},
    {kHeaderFlag, '\0', "header", "", "The first record of each input is a header: skip it. CSV and TSV input "
     "has one unless --no-header is given; with lines, this skips the first.", kBoth},
    {kNoHeaderFlag, '\0', "no-header", "", "CSV or TSV input has no header: its first record is checked too.", kBoth},
    {kStripFlag, '\0', "strip", "", "Remove spaces and dashes from card numbers before checking them "
     "(\"4111 1111 1111 1111\"). The number is shown as given.", kCard},
    {kTodayFlag, '\0', "today", "YYYY-MM-DD", "Judge expiry and age as of this date (years 1 to 9999) instead of "
     "the local date, which is otherwise read again as the records stream (at most once a second).", kId},
    {kCheckFormatFlag, '\0', "format", "FORMAT", "text (the default), tsv (tab-separated columns), csv (the "
     "columns of tsv as RFC 4180 has CSV, after a header row) or json (one JSON object per line).", kBoth},
    {kFormatFlag, '\0', "format", "FORMAT", "text (the default), tsv (tab-separated columns) or json (one "
     "JSON object per line).", kScan},
    {kHeaderRowFlag, '\0', "header-row", "", "With --format tsv: begin with a row naming the columns (csv always "
     "has it).", kBoth},
    {kLineNumberFlag, 'n', "line-number", "", "Show the file and the line of each record (the line where the "
     "record starts), and in tsv and csv the record's number too (from 1, the header not counted). JSON always "
     "has them.", kBoth},
    {kKeepFlag, '\0', "keep", "N|NAME", "Carry field N, or the field whose header is NAME, of each record into "
     "the output, for joining the verdicts back: a column of tsv and csv after the others, named as given, and "
     "a key of the object \"keep\" in json (null for a record without the field). As --column, implies --csv. "
     "May be given more than once; not with --format text.", kBoth},
    {kInvalidFlag, '\0', "invalid", "", "Show only the invalid records.", kBoth},
    {kValidFlag, '\0', "valid", "", "Show only the valid records.", kBoth},
    {kQuietFlag, 'q', "quiet", "", "Show no records: only the exit status tells. Stops at the first invalid "
     "record unless --summary is given.", kBoth},
    {kSummaryFlag, '\0', "summary", "", "At the end, write the number of records per verdict, per brand (card) "
     "or per reason (id) to standard error.", kBoth},
    {kMaskFlag, '\0', "mask", "", "Show card numbers masked: the first six and the last four digits, every other "
     "digit as '*', separators kept (\"4111 11** **** 1111\").", kCard},
    {kScanSummaryFlag, '\0', "summary", "", "At the end, write to standard error the files and bytes scanned, what "
     "was decoded (per kind) and opened (members), the findings per brand and how many are track data, the "
     "numbers kept back (test numbers, values of other keys, parts of IBANs) and suppressed (--ignore, "
     "--baseline), the inputs that could not be read, what could not be seen into (per reason), the links not "
     "followed and the time taken.", kScan},
    {kCountFlag, 'c', "count", "", "Show PATH:N for each input with findings, N its number of findings.", kScan},
    {kFilesWithMatchesFlag, 'l', "files-with-matches", "", "Show only the path of each input with a finding; "
     "each input is read only up to its first finding.", kScan},
    {kUnmaskedFlag, '\0', "unmasked", "", "Show the numbers found whole instead of masked: an explicit choice, "
     "for feeding another tool.", kScan},
    {kBrandsFlag, '\0', "brands", "TABLE", "seed (the default: the six brands of the checks, as the DLL answers) or "
     "current (the ranges and lengths the brands publish today, as tessera scan finds numbers by them).", kCard},
    {kScanBrandsFlag, '\0', "brands", "TABLE", "current (the default: today's ranges and lengths, printed layouts, and "
     "the rules that keep look-alikes back) or seed (the rule before them: the six brands of the checks, any "
     "grouping, no rule kept anything back).", kScan},
    {kLuhnOnlyFlag, '\0', "luhn-only", "", "Count any number that passes the Luhn check, with or without a brand of "
     "the table (brand unknown).", kScan | kRedact},
    {kAllNumbersFlag, '\0', "all-numbers", "", "Report every number the brand table and the checksum allow, those "
     "the rules keep back too (test numbers, IBANs, values of keys that name other numbers), each saying which rule "
     "would have kept it back.", kScan},
    {kTestNumbersFlag, '\0', "test-numbers", "", "Report the test numbers that payment companies publish "
     "(4111 1111 1111 1111 and others), marked as test numbers; without it they are only counted by --summary.",
     kScan},
    {kIgnoreFlag, '\0', "ignore", "FILE", "Report nothing of what FILE lists, one a line: a number, "
     "sha256:DIGEST (the SHA-256 of its digits, so the file holds no number), or prefix:DIGITS; '#' begins a "
     "comment. May be given more than once.", kScan},
    {kBaselineFlag, '\0', "baseline", "FILE", "Report only findings that are not in FILE, the --format json output "
     "of an earlier scan: matched by path and the number's SHA-256, not by line.", kScan},
    {kExcludeFlag, '\0', "exclude", "GLOB", "Leave out what a directory walk finds that matches GLOB, read as a "
     "line of .gitignore: without '/' it matches names at any depth (*.png, .git); with '/' the path from the "
     "directory given (build/*, /build, **/cache/*); a final '/' matches directories only (node_modules/). *, ?, "
     "[a-z], [!a-z], and ** for any number of directories. A directory that matches is not entered. May be given "
     "more than once.", kScan},
    {kFollowFlag, 'L', "follow", "", "Follow symbolic links found in directories. Each directory is walked once, "
     "however many links lead to it; a link back to a directory being walked is named on standard error.", kScan},
    {kJobsFlag, 'j', "jobs", "N", "Scan N files at a time (default: the number of processors, at most 16). "
     "The output keeps the order of the inputs.", kScan},
    {kStrictFlag, '\0', "strict", "", "Exit with status 2 when anything could not be seen into (an encrypted "
     "or damaged member, a format not decoded, nesting or expansion past the limits), as when an input could "
     "not be read.", kScan},
    {kRedactMaskFlag, '\0', "mask", "STYLE", "Replace each digit of a card number by '*' but the last four "
     "(last4, the default: \"**** **** **** 1111\") or the first six and the last four (first6last4: \"4111 "
     "11** **** 1111\"); separators stay, so the length and layout of the text stay. Where a number is joined to "
     "other digits by one space or hyphen, its digits on that side are hidden too.", kRedact},
    {kReplaceFlag, '\0', "replace", "TEXT", "Replace each card number, separators and all, by TEXT.", kRedact},
    {kHashFlag, '\0', "hash", "KEYFILE", "Replace each card number by a tag made from an HMAC-SHA-256 of its "
     "digits under the key in KEYFILE (its bytes as they are): \"[card:1a2b3c4d5e6f]\", the first 6 bytes in hex. "
     "The same number gives the same tag under the same key, in any file and on any day; without the key the "
     "tag does not lead back to the number.", kRedact},
    {kOutputFlag, 'o', "output", "FILE", "Write to FILE instead of standard output: written beside it and renamed "
     "over it once complete, so FILE is never left half-written.", kRedact},
    {kInPlaceFlag, '\0', "in-place", "", "Replace each FILE by its redacted text: written beside it, flushed to "
     "disk and renamed over it, with the owner and mode kept. On any error the file is left as it was. Only "
     "plain text files: compressed data, archives, Office files and UTF-16 text are refused (with -o they are "
     "written out decoded).", kRedact},
    {kLineBufferedFlag, '\0', "line-buffered", "", "Write out what each read settles at once, as when the output "
     "is a terminal (tail -f app.log | tessera redact --line-buffered | ...).", kRedact},
    {kRedactSummaryFlag, '\0', "summary", "", "At the end, write to standard error the numbers redacted, the "
     "inputs and the bytes read.", kRedact},
    {kHelpFlag, 'h', "help", "", "Show this help and exit.", kAll},
    {kVersionFlag, 'V', "version", "", "Show the version and exit.", kAll},
};

constexpr CommandDoc kCommands[] = {
    {"card", kCard, "[NUMBER]...", "check payment card numbers",
     "Checks payment card numbers: the brand that their length and leading digits belong to, and the Luhn "
     "checksum. A number is valid when it has a brand and passes the checksum. Every character counts, as "
     "given: \"4111 1111 1111 1111\" has 19 characters and no brand unless --strip is given."},
    {"id", kId, "[NUMBER]...", "check GPA identity-document numbers",
     "Checks 29-character GPA identity-document numbers: the layout and the four 7-3-1 check digits, whether "
     "the document is still valid on the day (its expiry date is that day or later) and the holder's age in "
     "years. A number is valid when its check digits are right and it has not expired. Expiry and age are "
     "judged only when the check digits are right."},
    {"scan", kScan, "[PATH | -]...", "find card numbers inside files",
     "Finds payment card numbers inside files, directories (walked recursively, in name order) and standard "
     "input: logs, exports, dumps and binary files, and inside what they hold, recognised by their content: "
     "gzip, bzip2, xz and zstd data, zip, tar, cpio and ar archives (members are named ARCHIVE!/MEMBER), UTF-16 "
     "text, the text of Office and OpenDocument files, mail and its attachments, and the compressed streams of "
     "PDF. What it cannot see into is named on standard error with the reason. With no PATH it reads "
     "standard input, or walks the current directory when standard input is a terminal. During a walk, links "
     "are not followed (unless --follow) and pipes, devices and pseudo file systems (/proc, /sys) are not read. "
     "A number is a run of 13 "
     "to 19 digits, or groups of digits in a layout cards are printed in (4-4-4-4, 4-6-5, 4-6-4, ...), one "
     "separator throughout (space, hyphen, no-break space, + or %20), never cut out of a longer layout; it is a "
     "finding when its digits have a brand of today's table and pass the Luhn checksum. Parts of IBANs, "
     "published test numbers and values of keys that name other numbers (order_id=, imei=) are kept back; "
     "magnetic-stripe track data is always reported. Each finding is shown as PATH:LINE:COLUMN: BRAND NUMBER, "
     "masked (\"4111 11** **** 1111\") unless --unmasked is given. Exit status 0: nothing found; 1: something "
     "found; 2: an input could not be read, or with --strict something could not be seen into (2 wins)."},
    {"redact", kRedact, "[FILE | -]...", "write inputs with their card numbers replaced",
     "Writes its inputs (standard input when none is given) to standard output with every card number that "
     "tessera scan finds replaced, and every other byte as it was: line endings, invalid UTF-8 and NUL bytes "
     "included. Inputs are read as tessera scan reads them, by their content: compressed data, UTF-16 text and "
     "the members of archives are written out decoded. It streams in bounded memory: only a tail of digits, "
     "spaces and hyphens that may still belong to a number is held back. Its output redacted again stays the "
     "same. Exit status 0: everything was written; 2: an input could not be read or seen into, or the output "
     "could not be written."},
};

constexpr Section kSections[] = {
    {"INPUT",
     "Numbers come from the arguments, from the files of --file, and from standard input when neither "
     "is given. Each line is one record; a line may end in LF, CR LF or a lone CR (as in files from old Mac "
     "programs), and a last line needs no ending. A UTF-8 byte-order mark at the start of an input is "
     "skipped.\n\n"
     "Files and standard input are read as tessera scan reads them, by their content: gzip, bzip2, xz or zstd "
     "data decompressed, UTF-16 (a spreadsheet's \"Unicode Text\") converted, each member of a zip or tar "
     "archive read on its own and named ARCHIVE!/MEMBER. Line numbers count in the decoded text. What cannot be "
     "seen into (an encrypted member, damaged data) is named on standard error and makes the exit status 2.\n\n"
          "With --csv, --tsv, --delimiter, --column or --keep, records are CSV: the field of --column is checked, "
     "unquoted. The first record of each input is a header, as in csvkit, unless --no-header is given; its "
     "names are matched as they stream past, so a header of any size is read in constant memory. A record "
     "whose field is empty or only blanks is reported as empty: it is neither valid nor invalid and does not "
     "fail the run, so every input record still has its output row.\n\n"
     "A field longer than the read buffer (256 KiB) is checked as it streams past, in constant memory, and "
     "shown shortened: its first 32 bytes, then \"\\[...N bytes]\" with its length.",
     false},
    {"OUTPUT",
     "One row per record, in input order. text: \"NUMBER: valid (Visa, checksum ok)\"; tsv: NUMBER, verdict "
     "(valid, invalid, empty), brand (or none), checksum (pass, fail), hint for card; NUMBER, verdict, check "
     "digits (pass, fail), expiry (current, expired), age, hint for id; csv: the columns of tsv, quoted as "
     "RFC 4180 has it (a field with a comma or a quote in quotes, a quote doubled), after a header row; json: "
     "the keys path, line, record, number, valid, then brand and checksum, or check_digits, unexpired and "
     "age, then hint, and keep with --keep; a file name that is not UTF-8 is given as {\"bytes\": its bytes in "
     "base64} instead of a string. With -n, tsv and csv begin with the columns path, line and "
     "record. Every row of a format has the same columns: a value that was not judged is n/a in text, tsv "
     "and csv and null in JSON (valid is null for an empty record).\n\n"
     "An invalid number whose text tells why gets a hint: blanks, for blanks (spaces, tabs) before or after "
     "it, or scientific, for a spreadsheet's scientific notation (\"4.11111E+15\": the digits are lost, so "
     "export the column as text); none (null in JSON) when there is none. Text gives it in words inside the "
     "parentheses: \"4.11111E+15: invalid (no brand, checksum fails; scientific notation, digits lost: "
     "export the column as text)\".\n\n"
     "Bytes that could act on a terminal are escaped, in records and in messages: control characters, DEL and "
     "bytes that are not UTF-8 as \\xhh, the backslash as \\\\, and the C1 and bidirectional control characters "
     "byte by byte; JSON uses \\u escapes instead. Messages show every run of digits (groups joined by one "
     "space or hyphen) masked as --mask masks card numbers, so that a header or a record named in a message "
     "never shows a card number whole.\n\n"
     "Output is written after every record when it is a terminal, and otherwise in large blocks, and always "
     "before waiting for more input. When standard input is a terminal and nothing else was given, card and "
     "id say so on standard error and read it; scan walks the current directory instead.",
     false},
    {"BRANDS", "{brands}", true},
    {"EXIT STATUS",
     "card and id: 0: every record judged is valid (empty records do not count); 1: some record is invalid. "
     "scan: 0: nothing found; 1: something found. All: 2: a usage "
     "error (for card and id, also a column that the header of an input does not have, or that no record of "
     "it has), an input that could not be opened or read (the other inputs are still checked), or output "
     "that could not be written. When the reader of the output goes away (tessera card ... | head), the tool "
     "stops quietly with status 2.",
     true},
    {"EXAMPLES",
     "List the invalid card numbers of a payments export with the lines they are on, masked:\n\n"
     "    tessera card -f payments.csv --column card_number --invalid -n --mask\n\n"
     "A gate in a script: nothing is shown, the exit status tells.\n\n"
     "    tessera card -q -f export.csv -c card || exit 1\n\n"
     "The invalid numbers with the order each belongs to, as CSV for a spreadsheet or a data frame:\n\n"
     "    tessera card -f payments.csv -c card_number --keep order_id --invalid --mask --format csv\n\n"
     "Id numbers as of a given day, as tab-separated columns with a header row:\n\n"
     "    tessera id --today 2009-09-30 --format tsv --header-row -f ids.txt",
     false},
};

}  // namespace

std::span<const Flag> Flags() { return kFlags; }
std::span<const CommandDoc> Commands() { return kCommands; }
std::span<const Section> Sections() { return kSections; }

const CommandDoc* FindCommand(std::string_view name) {
  const auto it = std::ranges::find(kCommands, name, &CommandDoc::name);
  return it == std::end(kCommands) ? nullptr : &*it;
}

}  // namespace tessera::tool
