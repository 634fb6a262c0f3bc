// SPDX-License-Identifier: GPL-3.0-or-later
// The ASF header walk on crafted bytes: object sizes that lie, headers cut short, and the
// objects it looks for nested where they may stand.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "media_test_support.h"
#include "platform/media_asf_header.h"
#include "platform/media_byte_reader.h"

namespace trimora::media::test {
namespace {

using TBytes = std::vector<uint8_t>;

// A GUID as ASF stores it: the first three fields little-endian, the rest as written.
TBytes Guid(uint32_t a, uint16_t b, uint16_t c, uint64_t d) {
  TBytes g;
  for (int i = 0; i < 4; ++i) g.push_back(static_cast<uint8_t>(a >> (8 * i)));
  for (int i = 0; i < 2; ++i) g.push_back(static_cast<uint8_t>(b >> (8 * i)));
  for (int i = 0; i < 2; ++i) g.push_back(static_cast<uint8_t>(c >> (8 * i)));
  for (int i = 0; i < 8; ++i) g.push_back(static_cast<uint8_t>(d >> (8 * (7 - i))));
  return g;
}

const TBytes kHeader = Guid(0x75B22630, 0x668E, 0x11CF, 0xA6D900AA0062CE6C);
const TBytes kFileProperties = Guid(0x8CABDCA1, 0xA947, 0x11CF, 0x8EE400C00C205365);
const TBytes kExtension = Guid(0x5FBF03B5, 0xA92E, 0x11CF, 0x8EE300C00C205365);
const TBytes kEncryption = Guid(0x2211B3FB, 0xBD23, 0x11D2, 0xB4B700A0C955FC6E);
const TBytes kAdvancedEncryption = Guid(0x43058533, 0x6981, 0x49E6, 0x9B74AD12CB86D58C);
const TBytes kData = Guid(0x75B22636, 0x668E, 0x11CF, 0xA6D900AA0062CE6C);

void Put(TBytes& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

TBytes Cat(std::initializer_list<TBytes> parts) {
  TBytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// An object: GUID, 64-bit size (its true size unless `size` says otherwise), body.
TBytes Object(const TBytes& guid, const TBytes& body, std::optional<uint64_t> size = {}) {
  TBytes out = guid;
  Put(out, size.value_or(24 + body.size()), 8);
  return Cat({out, body});
}

// File properties: 100 packets of 1000 bytes, 12 s of play (100 ns units) with 2 s preroll.
TBytes FileProperties(uint32_t maxPacket = 1000) {
  TBytes body(32, 0);
  Put(body, 100, 8);          // packets
  Put(body, 120'000'000, 8);  // play duration
  Put(body, 0, 8);            // send duration
  Put(body, 2000, 8);         // preroll, ms
  Put(body, 0, 4);            // flags
  Put(body, 1000, 4);         // minimum packet size
  Put(body, maxPacket, 4);
  Put(body, 0, 4);  // maximum bit rate
  return Object(kFileProperties, body);
}

// The header object around `objects`, its size true unless `size` says otherwise.
TBytes Header(const TBytes& objects, std::optional<uint64_t> size = {}) {
  TBytes out = kHeader;
  Put(out, size.value_or(30 + objects.size()), 8);
  Put(out, 1, 4);
  Put(out, 0x0201, 2);
  return Cat({out, objects});
}

TBytes Extension(const TBytes& nested) {
  TBytes body(18, 0);  // reserved GUID and field
  Put(body, nested.size(), 4);
  return Object(kExtension, Cat({body, nested}));
}

std::optional<TAsfHeader> Read(const TBytes& bytes) {
  TBytesStream stream(bytes);
  TMediaByteReader reader(stream);
  return ReadAsfHeader(reader);
}

TEST(AsfHeader, CraftedHeaders) {
  const TBytes props = FileProperties();
  const struct {
    const char* Name;
    TBytes Bytes;
    bool IsAsf;
    bool HasProperties;
    bool Protected;
  } cases[] = {
      {"not asf", TBytes(200, 0x75), false, false, false},
      {"header object cut short", TBytes(kHeader.begin(), kHeader.end()), false, false, false},
      {"properties", Header(props), true, true, false},
      {"header claims 4 GiB", Header(props, 0xFFFFFFFFull), true, true, false},
      {"header claims 2^64 - 1", Header(props, ~0ull), true, true, false},
      {"object of size 0 first", Header(Cat({Object(kEncryption, {}, 0), props})), true, false,
       false},
      {"object of huge size first", Header(Cat({Object(kEncryption, {}, ~0ull), props})), true,
       false, false},
      {"properties cut short", Header(TBytes(props.begin(), props.end() - 30)), true, false, false},
      {"properties declared short", Header(Object(kFileProperties, TBytes(40, 0))), true, false,
       false},
      {"encryption", Header(Cat({Object(kEncryption, TBytes(8, 0)), props})), true, true, true},
      {"encryption in the extension",
       Header(Cat({props, Extension(Object(kAdvancedEncryption, TBytes(4, 0)))})), true, true,
       true},
      {"nested object leaving its parent",
       Header(Cat({props, Extension(Object(kAdvancedEncryption, {}, 4096))})), true, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto header = Read(c.Bytes);
    ASSERT_EQ(header.has_value(), c.IsAsf);
    if (!header) continue;
    EXPECT_EQ(header->HasFileProperties, c.HasProperties);
    EXPECT_EQ(header->Protected, c.Protected);
    EXPECT_EQ(header->Duration(), c.HasProperties ? 100'000'000u : 0u);
  }
}

// The data object after the header tells where the packets start; a file holding half of
// them plays half as long, and packets of differing sizes give up the proportion.
TEST(AsfHeader, DurationOfThePacketsPresent) {
  TBytes data = kData;
  Put(data, 50 + 100 * 1000, 8);
  data.resize(data.size() + 16, 0);  // file ID
  Put(data, 100, 8);
  Put(data, 0x0101, 2);
  for (const uint32_t maxPacket : {1000u, 2000u}) {
    const TBytes file = Cat({Header(FileProperties(maxPacket)), data});
    const auto header = Read(file);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->PacketsStart, static_cast<int64_t>(file.size()));
    EXPECT_EQ(header->DurationPresent(static_cast<int64_t>(file.size()) + 50 * 1000),
              maxPacket == 1000 ? 50'000'000u : 100'000'000u);
  }
}

}  // namespace
}  // namespace trimora::media::test
