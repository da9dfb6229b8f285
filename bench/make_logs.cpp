// make_logs.cpp -- writes a web-application log full of digit runs, with a card number in about one line in 200
//
// usage: tessera_logs MEBIBYTES [SEED] > file
//
// Three line formats in turn (an access log, an application log with
// Python-style timestamps, JSON lines), each with timestamps, request and
// user ids, amounts, phone numbers and 19-digit order numbers. One line in
// 200 carries a card number that passes the checksum, contiguous, spaced or
// dashed. The same size and seed always give the same bytes.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/corpus.h"

namespace {

using tessera::bench::Random;

class Line {
 public:
  explicit Line(Random& random) : random_(random) {}
  Line& Text(const char* text) {
    line_ += text;
    return *this;
  }
  Line& Digits(std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) line_ += static_cast<char>('0' + random_.Below(10));
    return *this;
  }
  Line& Number(uint32_t below) {
    line_ += std::to_string(random_.Below(below));
    return *this;
  }
  Line& Padded(uint32_t below, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*u", width, random_.Below(below));
    line_ += text;
    return *this;
  }
  std::string& str() { return line_; }

 private:
  Random& random_;
  std::string line_;
};

// A card of a known brand that passes the checksum, written in one of the
// three ways people and programs write them.
std::string Card(Random& random) {
  const char* const prefixes[] = {"4", "51", "55", "37", "6011", "35"};
  const std::size_t lengths[] = {16, 16, 16, 15, 16, 16};
  const std::size_t kind = random.Below(6);
  std::string body = prefixes[kind];
  while (body.size() < lengths[kind] - 1) body += static_cast<char>('0' + random.Below(10));
  const std::string number = body + tessera::bench::LuhnCheckDigit(body);
  const uint32_t style = random.Below(3);
  if (style == 0 || number.size() != 16) return number;
  const char separator = style == 1 ? ' ' : '-';
  return number.substr(0, 4) + separator + number.substr(4, 4) + separator + number.substr(8, 4) + separator +
         number.substr(12, 4);
}

std::string AccessLine(Random& random) {
  Line line(random);
  line.Number(256).Text(".").Number(256).Text(".").Number(256).Text(".").Number(256);
  line.Text(" - - [").Padded(28, 2).Text("/May/2024:").Padded(24, 2).Text(":").Padded(60, 2).Text(":");
  line.Padded(60, 2).Text(" +0000] \"GET /api/v2/orders/").Digits(19).Text("?page=").Number(50);
  line.Text(" HTTP/1.1\" 200 ").Number(90000).Text(" \"-\" \"Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36\" 0.");
  line.Padded(1000, 3);
  return line.str();
}

std::string AppLine(Random& random, const std::string& card) {
  Line line(random);
  line.Text("2024-05-").Padded(28, 2).Text(" ").Padded(24, 2).Text(":").Padded(60, 2).Text(":").Padded(60, 2);
  line.Text(",").Padded(1000, 3).Text(" INFO order_service: order ").Digits(19).Text(" created user_id=");
  line.Digits(8).Text(" amount=").Number(5000).Text(".").Padded(100, 2).Text(" phone=+1-").Padded(1000, 3);
  line.Text("-").Padded(1000, 3).Text("-").Padded(10000, 4).Text(" items=").Number(9);
  if (!card.empty()) line.Text(" payment card=").Text(card.c_str());
  return line.str();
}

std::string JsonLine(Random& random, const std::string& card) {
  Line line(random);
  line.Text("{\"ts\":\"2024-05-").Padded(28, 2).Text("T").Padded(24, 2).Text(":").Padded(60, 2).Text(":");
  line.Padded(60, 2).Text(".").Padded(1000, 3).Text("Z\",\"level\":\"info\",\"msg\":\"payment authorized\",\"order\":\"");
  line.Digits(19).Text("\",\"amount\":").Number(500).Text(".").Padded(100, 2).Text(",\"user\":").Digits(8);
  line.Text(",\"request\":\"").Digits(12).Text("\",\"latency_ms\":").Number(400);
  if (!card.empty()) line.Text(",\"card\":\"").Text(card.c_str()).Text("\"");
  line.Text("}");
  return line.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: tessera_logs MEBIBYTES [SEED] > file\n");
    return 2;
  }
  const unsigned long long size = std::strtoull(argv[1], nullptr, 10) << 20;
  Random random(argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1);
  std::string block;
  unsigned long long written = 0;
  for (unsigned long long n = 0; written < size; ++n) {
    const std::string card = random.Below(200) == 0 ? Card(random) : std::string();
    switch (n % 3) {
      case 0:
        block += card.empty() ? AccessLine(random) : AppLine(random, card);
        break;
      case 1:
        block += AppLine(random, card);
        break;
      default:
        block += JsonLine(random, card);
        break;
    }
    block += '\n';
    if (block.size() >= (1 << 20) || written + block.size() >= size) {
      if (std::fwrite(block.data(), 1, block.size(), stdout) != block.size()) return 1;
      written += block.size();
      block.clear();
    }
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
