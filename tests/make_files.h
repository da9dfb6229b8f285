// make_files.h -- the kinds of file the input layer reads, made in the test: compressed, archived, UTF-16, Office, mail, PDF
//
// Zip and tar are written here field by field (stored or deflated with
// zlib), so that a test can also make what no archiver writes: a member
// marked encrypted, a bomb of 10 GiB in 10 MiB.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tessera_test {

inline void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xff);
  out += static_cast<char>(v >> 8 & 0xff);
}
inline void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xffff);
  Put16(out, v >> 16);
}
inline void Put64(std::string& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v));
  Put32(out, static_cast<uint32_t>(v >> 32));
}

// Deflate: raw (windowBits -15) for zip, 16 + 15 for a gzip member.
inline std::string Deflate(std::string_view text, int window_bits) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, window_bits, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(text.size())) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

inline std::string Gzip(std::string_view text) { return Deflate(text, 16 + MAX_WBITS); }

inline uint32_t Crc(std::string_view data) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

struct Entry {
  std::string name;
  std::string data;
  bool deflated = true;
  bool encrypted = false;  // marked so; the bytes are left as they are
};

// A zip file of the entries, as a zip writer that knows every size
// writes it.
inline std::string Zip(const std::vector<Entry>& entries) {
  std::string out, directory;
  for (const Entry& e : entries) {
    const std::string body = e.deflated ? Deflate(e.data, -MAX_WBITS) : e.data;
    const uint32_t offset = static_cast<uint32_t>(out.size());
    const uint16_t flags = e.encrypted ? 1 : 0, method = e.deflated ? 8 : 0;
    auto header = [&](std::string& to, bool central) {
      Put32(to, central ? 0x02014b50 : 0x04034b50);
      if (central) Put16(to, 20);
      Put16(to, 20);
      Put16(to, flags);
      Put16(to, method);
      Put32(to, 0x00210000);  // 1980-01-01 00:00
      Put32(to, Crc(e.data));
      Put32(to, static_cast<uint32_t>(body.size()));
      Put32(to, static_cast<uint32_t>(e.data.size()));
      Put16(to, static_cast<uint32_t>(e.name.size()));
      Put16(to, 0);
      if (central) {
        for (int i = 0; i < 4; ++i) Put16(to, 0);  // comment, disk, attributes
        Put32(to, 0);
        Put32(to, offset);
      }
      to += e.name;
    };
    header(out, false);
    out += body;
    header(directory, true);
  }
  const uint32_t at = static_cast<uint32_t>(out.size());
  out += directory;
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(entries.size()));
  Put16(out, static_cast<uint32_t>(entries.size()));
  Put32(out, static_cast<uint32_t>(directory.size()));
  Put32(out, at);
  Put16(out, 0);
  return out;
}

// A zip of one member that inflates to `mebibytes` MiB of zero bytes: the
// same deflate block, each after a full flush, written again and again.
inline std::string ZipBomb(uint64_t mebibytes) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
  const std::string zeros(1 << 20, '\0');
  auto chunk = [&](int flush, bool input) {
    std::string out(1 << 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    z.avail_in = input ? static_cast<uInt>(zeros.size()) : 0;
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, flush);
    out.resize(out.size() - z.avail_out);
    return out;
  };
  const std::string first = chunk(Z_FULL_FLUSH, true), again = chunk(Z_FULL_FLUSH, true);
  const std::string last = chunk(Z_FINISH, false);
  deflateEnd(&z);
  std::string out;
  // Sizes in a data descriptor after the data, as streaming writers put them.
  Put32(out, 0x04034b50);
  Put16(out, 45);
  Put16(out, 8);
  Put16(out, 8);
  Put32(out, 0x00210000);
  for (int i = 0; i < 3; ++i) Put32(out, 0);
  Put16(out, 9);
  Put16(out, 0);
  out += "zeros.txt";
  out += first;
  for (uint64_t i = 1; i < mebibytes; ++i) out += again;
  out += last;
  return out;
}

// A tar (ustar) of the entries, all regular files.
inline std::string Tar(const std::vector<Entry>& entries) {
  std::string out;
  for (const Entry& e : entries) {
    std::string h(512, '\0');
    h.replace(0, e.name.size(), e.name);
    h.replace(100, 7, "0000644");
    h.replace(108, 7, "0000000");
    h.replace(116, 7, "0000000");
    char size[16];
    std::snprintf(size, sizeof size, "%011llo", static_cast<unsigned long long>(e.data.size()));
    h.replace(124, 11, size);
    h.replace(136, 11, "00000000000");
    h[156] = '0';
    h.replace(257, 6, std::string("ustar\0", 6));
    h.replace(263, 2, "00");
    h.replace(148, 8, "        ");
    unsigned sum = 0;
    for (char c : h) sum += static_cast<unsigned char>(c);
    char check[8];
    std::snprintf(check, sizeof check, "%06o", sum);
    h.replace(148, 7, std::string(check, 6) + '\0');
    out += h;
    out += e.data;
    out.append((512 - e.data.size() % 512) % 512, '\0');
  }
  out.append(1024, '\0');
  return out;
}

// UTF-8 text as UTF-16, with a byte-order mark or not.
inline std::string Utf16(std::u16string_view text, bool big_endian, bool mark) {
  std::string out;
  auto put = [&](char16_t u) {
    const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xff);
    out += big_endian ? high : low;
    out += big_endian ? low : high;
  };
  if (mark) put(u'\xfeff');
  for (char16_t u : text) put(u);
  return out;
}

constexpr std::string_view kWordNamespace = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr std::string_view kSheetNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

// A Word document whose paragraphs are made of the given runs.
inline std::string Docx(const std::vector<std::vector<std::string>>& paragraphs) {
  std::string body;
  for (const auto& runs : paragraphs) {
    body += "<w:p>";
    for (const std::string& run : runs) body += "<w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\">" + run + "</w:t></w:r>";
    body += "</w:p>";
  }
  return Zip({{"[Content_Types].xml", "<Types/>"},
              {"word/document.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<w:document xmlns:w=\"" +
                                        std::string(kWordNamespace) + "\"><w:body>" + body + "</w:body></w:document>"},
              {"word/media/image1.png", "\x89PNG\r\n\x1a\n", false}});
}

}  // namespace tessera_test
