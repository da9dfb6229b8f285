// scan_accuracy.cpp -- how many card numbers tessera scan finds, and how little else, on corpora of its own
//
// usage: tessera_scan_accuracy [--write DIR]
//
// Two corpora, generated with fixed seeds: planted card numbers of every
// family people carry today, in every form logs, exports and dumps write
// them, one a line; and a decoy-heavy application log without a card
// number, full of the digit runs real logs carry. Both are scanned under the
// seed rule (the finder before today's table: `--brands seed`) and the
// current rule (the default), and the tables show recall per form and per
// family, and false findings per MiB of the log. With --write, the corpora
// are also written to DIR (planted.txt, decoys.log) for other scanners.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/corpus.h"
#include "cards/scan.h"

namespace {

using tessera::bench::LuhnCheckDigit;
using tessera::bench::Random;

// A family: the ranges a brand issues it from, and its lengths.
struct Family {
  const char* name;
  std::vector<std::pair<int, int>> ranges;  // first digits, low and high of one length
  std::vector<std::size_t> lengths;
};

const std::vector<Family>& Families() {
  static const std::vector<Family> kFamilies = {
      {"Visa 16", {{4, 4}}, {16}},
      {"Visa 13", {{4, 4}}, {13}},
      {"Visa 19", {{4, 4}}, {19}},
      {"Mastercard 51-55", {{51, 55}}, {16}},
      {"Mastercard 2221-2720", {{2221, 2720}}, {16}},
      {"American Express", {{34, 34}, {37, 37}}, {15}},
      {"Discover 6011", {{6011, 6011}}, {16}},
      {"Discover 644-649", {{644, 649}}, {16}},
      {"Discover 65", {{65, 65}}, {16}},
      {"Discover 622126-622925", {{622126, 622925}}, {16}},
      {"JCB 3528-3589", {{3528, 3589}}, {16}},
      {"Diners Club 300-305", {{300, 305}}, {14}},
      {"Diners Club 36", {{36, 36}}, {14}},
      {"Diners Club 38", {{38, 38}}, {14}},
      {"UnionPay 62", {{620, 621}, {623, 629}}, {16, 19}},
      {"UnionPay 81", {{81, 81}}, {16}},
      {"Maestro", {{5018, 5018}, {5020, 5020}, {5038, 5038}, {6759, 6759}, {6761, 6763}}, {16, 19}},
      {"Mir 2200-2204", {{2200, 2204}}, {16}},
      {"RuPay", {{606, 609}, {82, 82}, {508, 508}}, {16}},
  };
  return kFamilies;
}

std::string Digits(Random& random, std::size_t n) {
  std::string text;
  for (std::size_t i = 0; i < n; ++i) text += static_cast<char>('0' + random.Below(10));
  return text;
}

// A number of the family that passes the checksum.
std::string CardOf(const Family& family, Random& random) {
  const auto& [low, high] = family.ranges[random.Below(static_cast<uint32_t>(family.ranges.size()))];
  const std::size_t length = family.lengths[random.Below(static_cast<uint32_t>(family.lengths.size()))];
  std::string number = std::to_string(low + static_cast<int>(random.Below(static_cast<uint32_t>(high - low + 1))));
  number += Digits(random, length - 1 - number.size());
  return number + LuhnCheckDigit(number);
}

// The groups a number of this length is printed in.
std::string Grouped(const std::string& number, const std::string& separator) {
  std::vector<std::size_t> sizes;
  switch (number.size()) {
    case 13: sizes = {4, 4, 5}; break;
    case 14: sizes = {4, 6, 4}; break;
    case 15: sizes = {4, 6, 5}; break;
    case 19: sizes = {4, 4, 4, 4, 3}; break;
    default: sizes = {4, 4, 4, 4}; break;
  }
  std::string out;
  std::size_t at = 0;
  for (std::size_t size : sizes) {
    if (at != 0) out += separator;
    out += number.substr(at, size);
    at += size;
  }
  return out;
}

struct Form {
  const char* name;
  std::string (*line)(const std::string& number, Random& random);
};

const std::vector<Form>& Forms() {
  static const std::vector<Form> kForms = {
      {"plain", [](const std::string& n, Random&) { return "2024-05-17 12:00:01 INFO charged " + n + " for 12.50 EUR"; }},
      {"grouped", [](const std::string& n, Random& r) {
         return "customer read out " + Grouped(n, r.Below(2) ? " " : "-") + " on the phone";
       }},
      {"no-break space", [](const std::string& n, Random&) { return "Kartennummer " + Grouped(n, "\xC2\xA0") + " (Word)"; }},
      {"JSON", [](const std::string& n, Random&) {
         return "{\"user\":\"u1042\",\"card_number\":\"" + n + "\",\"amount\":12.5}";
       }},
      {"JSON escape", [](const std::string& n, Random&) { return "{\"note\":\"Karte\\u00a0" + n + "\"}"; }},
      {"CSV", [](const std::string& n, Random&) { return "1042,Jane Doe," + n + ",12/27,EUR"; }},
      {"XML", [](const std::string& n, Random&) { return "<payment><pan>" + n + "</pan><exp>1227</exp></payment>"; }},
      {"SQL dump", [](const std::string& n, Random&) {
         return "INSERT INTO payments (id, holder, pan) VALUES (17, 'Jane Doe', '" + n + "');";
       }},
      {"URL", [](const std::string& n, Random&) { return "GET /checkout?card=" + n + "&exp=1227 HTTP/1.1"; }},
      {"form-encoded", [](const std::string& n, Random&) { return "body: cc_number=" + Grouped(n, "+") + "&cvv=123"; }},
      {"key=value", [](const std::string& n, Random&) { return "payment ok pan=" + n + " status=captured"; }},
      {"track 1", [](const std::string& n, Random&) { return "%B" + n + "^DOE/JANE^2712101000000000000?"; }},
      {"track 2", [](const std::string& n, Random&) { return ";" + n + "=27121010000000000000?"; }},
  };
  return kForms;
}

struct Planted {
  std::size_t family, form;
  std::string digits;
};

// Every family in every form, `each` times, one a line.
std::string MakePlanted(std::vector<Planted>& planted, std::size_t each) {
  Random random(18);
  std::string text;
  for (std::size_t round = 0; round < each; ++round)
    for (std::size_t f = 0; f < Families().size(); ++f)
      for (std::size_t form = 0; form < Forms().size(); ++form) {
        const std::string number = CardOf(Families()[f], random);
        planted.push_back({f, form, number});
        text += Forms()[form].line(number, random) + "\n";
      }
  return text;
}

std::string Imei(Random& random) {
  const char* const tacs[] = {"35", "86", "01", "35", "99", "35"};
  std::string body = tacs[random.Below(6)] + Digits(random, 12);
  return body + LuhnCheckDigit(body);
}

std::string Iccid(Random& random) {
  std::string body = "8944" + Digits(random, 14);
  return body + LuhnCheckDigit(body);
}

// A valid IBAN of the country, its account digits random.
std::string Iban(Random& random, const std::string& country, std::size_t bban_digits, bool grouped) {
  const std::string bban = Digits(random, bban_digits);
  std::string moved = bban;
  for (char c : country) moved += std::to_string(c - 'A' + 10);
  moved += "00";
  uint32_t remainder = 0;
  for (char c : moved) remainder = (remainder * 10 + static_cast<uint32_t>(c - '0')) % 97;
  const uint32_t check = 98 - remainder;
  std::string iban = country + static_cast<char>('0' + check / 10) + static_cast<char>('0' + check % 10) + bban;
  if (!grouped) return iban;
  std::string out;
  for (std::size_t i = 0; i < iban.size(); i += 4) {
    if (i != 0) out += ' ';
    out.append(iban, i, 4);
  }
  return out;
}

std::string Hex(Random& random, std::size_t n) {
  std::string text;
  for (std::size_t i = 0; i < n; ++i) text += "0123456789abcdef"[random.Below(16)];
  return text;
}

std::string Uuid(Random& random) {
  return Hex(random, 8) + "-" + Hex(random, 4) + "-4" + Hex(random, 3) + "-a" + Hex(random, 3) + "-" + Hex(random, 12);
}

// A line of an xxd dump: of random bytes, or of text in capitals and digits,
// whose hex is all digits.
std::string HexDump(Random& random, uint64_t offset) {
  char head[16];
  std::snprintf(head, sizeof head, "%08llx:", static_cast<unsigned long long>(offset));
  std::string line = head, ascii;
  const bool text = random.Below(2) == 0;
  for (int i = 0; i < 16; ++i) {
    const unsigned byte = text ? (random.Below(3) ? 0x41 + random.Below(9) : 0x30 + random.Below(10)) : random.Below(256);
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", byte);
    line += i % 2 == 0 ? " " : "";
    line += hex;
    ascii += byte >= 0x20 && byte < 0x7f ? static_cast<char>(byte) : '.';
  }
  return line + "  " + ascii;
}

// A decoy-heavy log: the ids, times, devices, phones, IBANs, dumps and
// masked and test numbers of an application's logs, and no card number.
std::string MakeDecoys(std::size_t bytes) {
  Random random(19);
  std::string text;
  uint64_t dump = 0;
  auto epoch_ms = [&] { return "17" + Digits(random, 11); };
  auto epoch_us = [&] { return "17" + Digits(random, 14); };
  auto id16 = [&] { return std::to_string(1 + random.Below(9)) + Digits(random, 15); };
  auto id19 = [&] { return std::to_string(1 + random.Below(9)) + Digits(random, 18); };
  auto snowflake = [&] { return "1" + std::to_string(7 + random.Below(3)) + Digits(random, 17); };
  auto phone = [&] { return "+1-" + Digits(random, 3) + "-" + Digits(random, 3) + "-" + Digits(random, 4); };
  // Kinds of line, by weight out of 100.
  enum Kind { kAccess, kApp, kEvent, kSepa, kDump, kGateway, kBatch, kCsv, kMasked, kTest, kShipment };
  const std::pair<Kind, uint32_t> kinds[] = {{kAccess, 18}, {kApp, 18}, {kEvent, 14}, {kSepa, 8}, {kDump, 10},
                                             {kGateway, 10}, {kBatch, 8}, {kCsv, 6}, {kMasked, 4}, {kTest, 1},
                                             {kShipment, 3}};
  while (text.size() < bytes) {
    uint32_t pick = random.Below(100);
    const auto* kind = kinds;
    while (pick >= kind->second) pick -= kind++->second;
    switch (kind->first) {
      case kAccess:
        text += "10.0." + std::to_string(random.Below(256)) + "." + std::to_string(random.Below(256)) + ":" +
                std::to_string(1024 + random.Below(60000)) + " - - [17/May/2024:12:00:01 +0000] \"GET /api/v2/orders/" +
                id16() + "?page=" + std::to_string(random.Below(40)) + "&cursor=" + id16() + " HTTP/1.1\" 200 " +
                std::to_string(random.Below(90000)) + " rt=" + std::to_string(random.Below(900)) + "ms";
        break;
      case kApp:
        text += "2024-05-17 12:00:01,123 INFO trace=" + id19() + " span=" + Hex(random, 16) + " processed order " + id16() +
                " for user " + Digits(random, 8) + " in " + std::to_string(random.Below(400)) + "ms";
        break;
      case kEvent:
        text += "{\"ts\":" + epoch_ms() + ",\"device\":{\"imei\":\"" + Imei(random) + "\",\"iccid\":\"" + Iccid(random) +
                "\"},\"msisdn\":\"+4917" + Digits(random, 9) + "\",\"order_id\":\"ORD" + Digits(random, 16) +
                "\",\"trace_id\":\"" + id19() + "\",\"request_id\":\"" + Uuid(random) + "\"}";
        break;
      case kSepa:
        text += "2024-05-17T12:00:01.123456Z payments: SEPA transfer from " + Iban(random, "DE", 18, true) + " to " +
                Iban(random, "FR", 23, random.Below(2)) + " and " + Iban(random, "DK", 14, false) + " reference " + id16() +
                " amount 120.00";
        break;
      case kDump:
        text += HexDump(random, dump);
        dump += 16;
        break;
      case kGateway:
        text += "2024-05-17 12:00:02 WARN gateway: message " + snowflake() + " retried at " + epoch_us() + " (" +
                std::to_string(random.Below(5)) + " of 5), IMEI " + Imei(random) + ", phone " + phone();
        break;
      case kBatch:
        text += "2024-05-17 12:00:03 INFO batch " + std::to_string(random.Below(100000)) + " done: " +
                std::to_string(random.Below(1000000)) + " rows, checksum " + Digits(random, 16) + ", took " + epoch_ms() +
                " at 20240517120003" + Digits(random, 3);
        break;
      case kCsv:
        text += "2024-05-17," + id16() + ",EUR," + std::to_string(random.Below(1000)) + ".00," + Digits(random, 10);
        break;
      case kMasked:
        text += "2024-05-17 12:00:04 INFO customer paid with card ************" + Digits(random, 4) +
                " (411111******1111), session " + Uuid(random) + " from 192.168.1." + std::to_string(random.Below(256)) + ":" +
                std::to_string(random.Below(65536));
        break;
      case kTest:
        text += "2024-05-17 12:00:05 DEBUG test checkout with 4111 1111 1111 1111 and 5555555555554444, txn " + id19();
        break;
      case kShipment:
        text += "{\"event\":\"shipment\",\"tracking\":\"" + Digits(random, 20) + "\",\"ean\":\"" + Digits(random, 13) +
                "\",\"parcel\":" + id16() + ",\"created\":" + epoch_us() + "}";
        break;
    }
    text += "\n";
  }
  return text;
}

struct Scanned {
  std::vector<tessera::CardFinding> findings;
};

std::vector<tessera::CardFinding> Scan(const std::string& text, tessera::ScanRule rule) {
  tessera::CardScanner scanner(rule);
  std::vector<tessera::CardFinding> all;
  for (std::size_t at = 0; at < text.size(); at += 1 << 18) {
    const auto found = scanner.Scan(std::string_view(text).substr(at, 1 << 18));
    all.insert(all.end(), found.begin(), found.end());
  }
  const auto rest = scanner.Finish();
  all.insert(all.end(), rest.begin(), rest.end());
  return all;
}

std::string DigitsOf(std::string_view number) {
  std::string digits;
  for (char c : number)
    if (c >= '0' && c <= '9') digits += c;
  return digits;
}

// Which planted numbers a rule reports: a finding on the planted line with
// the planted digits, not kept back.
std::vector<bool> Found(const std::vector<Planted>& planted, const std::vector<tessera::CardFinding>& findings) {
  std::vector<bool> found(planted.size());
  for (const tessera::CardFinding& f : findings) {
    const std::size_t line = static_cast<std::size_t>(f.line) - 1;
    if (f.kept == tessera::KeptBack::None && line < planted.size() && DigitsOf(f.number()) == planted[line].digits)
      found[line] = true;
  }
  return found;
}

void PrintRecall(const char* title, const std::vector<Planted>& planted, const std::vector<bool>& seed,
                 const std::vector<bool>& current, bool by_family) {
  const std::size_t rows = by_family ? Families().size() : Forms().size();
  std::printf("\n| %s | seed rule | current rule |\n|---|---:|---:|\n", title);
  for (std::size_t r = 0; r < rows; ++r) {
    std::size_t n = 0, a = 0, b = 0;
    for (std::size_t i = 0; i < planted.size(); ++i) {
      if ((by_family ? planted[i].family : planted[i].form) != r) continue;
      ++n;
      a += seed[i];
      b += current[i];
    }
    std::printf("| %s | %5.1f%% | %5.1f%% |\n", by_family ? Families()[r].name : Forms()[r].name,
                100.0 * static_cast<double>(a) / static_cast<double>(n), 100.0 * static_cast<double>(b) / static_cast<double>(n));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const tessera::ScanRule seed = tessera::kSeedRule, current{};
  std::vector<Planted> planted;
  const std::string cards = MakePlanted(planted, 20);
  const std::string decoys = MakeDecoys(std::size_t{16} << 20);
  if (argc == 3 && std::strcmp(argv[1], "--write") == 0) {
    std::ofstream(std::string(argv[2]) + "/planted.txt", std::ios::binary) << cards;
    std::ofstream(std::string(argv[2]) + "/decoys.log", std::ios::binary) << decoys;
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: tessera_scan_accuracy [--write DIR]\n");
    return 2;
  }

  const std::vector<bool> by_seed = Found(planted, Scan(cards, seed)), by_current = Found(planted, Scan(cards, current));
  std::printf("planted: %zu numbers, %zu families in %zu forms\n", planted.size(), Families().size(), Forms().size());
  PrintRecall("form", planted, by_seed, by_current, false);
  PrintRecall("family", planted, by_seed, by_current, true);
  std::size_t lost = 0, families_seed = 0, families_current = 0;
  for (std::size_t i = 0; i < planted.size(); ++i) lost += by_seed[i] && !by_current[i];
  for (std::size_t f = 0; f < Families().size(); ++f) {
    bool seed_all = false, current_all = true;
    for (std::size_t i = 0; i < planted.size(); ++i) {
      if (planted[i].family != f || (planted[i].form != 0 && planted[i].form != 1)) continue;
      seed_all = seed_all || by_seed[i];
      current_all = current_all && by_current[i];
    }
    families_seed += seed_all;
    families_current += current_all;
  }
  std::printf("\nfamilies found plain or grouped: seed rule %zu, current rule %zu (all of them, both forms) of %zu\n",
              families_seed, families_current, Families().size());
  std::printf("planted numbers the seed rule finds and the current rule does not: %zu\n", lost);

  const double mib = static_cast<double>(decoys.size()) / (1 << 20);
  auto reported = [](const std::vector<tessera::CardFinding>& findings) {
    std::size_t n = 0;
    for (const tessera::CardFinding& f : findings) n += f.kept == tessera::KeptBack::None;
    return n;
  };
  const auto seed_decoys = Scan(decoys, seed), current_decoys = Scan(decoys, current);
  std::printf("\ndecoy-heavy log, %.1f MiB, no card number in it:\n\n| rule | false findings | per MiB |\n|---|---:|---:|\n",
              mib);
  std::printf("| seed (--brands seed) | %zu | %.1f |\n", reported(seed_decoys), static_cast<double>(reported(seed_decoys)) / mib);
  std::printf("| current (default) | %zu | %.1f |\n", reported(current_decoys),
              static_cast<double>(reported(current_decoys)) / mib);
  std::map<std::string, std::size_t> kept;
  for (const tessera::CardFinding& f : current_decoys)
    if (f.kept != tessera::KeptBack::None) ++kept[std::string(tessera::KeptName(f.kept))];
  std::printf("\nkept back by the current rule:");
  for (const auto& [why, n] : kept) std::printf(" %s %zu;", why.c_str(), n);
  std::printf("\n");
  return 0;
}
