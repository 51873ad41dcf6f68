#include "support/GlbBuilder.h"

#include <cstdint>

namespace {

std::string Pad(std::string s, char with) {
  while (s.size() % 4) s += with;
  return s;
}

}  // namespace

std::string Glb(const std::string& body, const std::vector<GlbData>& data, const std::string& version) {
  std::string bin, views, accessors;
  for (size_t i = 0; i < data.size(); ++i) {
    const size_t offset = bin.size();
    bin += data[i].bytes;
    bin = Pad(bin, '\0');
    const std::string sep = i ? "," : "";
    views += sep + "{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) + ",\"byteLength\":" +
             std::to_string(data[i].bytes.size()) + "}";
    accessors += sep + "{\"bufferView\":" + std::to_string(i) + ",\"componentType\":" +
                 std::to_string(data[i].componentType) + ",\"type\":\"" + data[i].type + "\",\"count\":" +
                 std::to_string(data[i].count) + (data[i].extra.empty() ? "" : "," + data[i].extra) + "}";
  }
  std::string json = "{\"asset\":{\"version\":\"" + version + "\"},\"buffers\":[{\"byteLength\":" +
                     std::to_string(bin.size()) + "}],\"bufferViews\":[" + views + "],\"accessors\":[" + accessors +
                     "]," + body + "}";
  json = Pad(json, ' ');
  std::string out = "glTF";
  auto u32 = [&](uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
  u32(2);
  u32(static_cast<uint32_t>(12 + 8 + json.size() + 8 + bin.size()));
  u32(static_cast<uint32_t>(json.size()));
  u32(0x4E4F534A);
  out += json;
  u32(static_cast<uint32_t>(bin.size()));
  u32(0x004E4942);
  return out + bin;
}
