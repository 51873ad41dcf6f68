#include "support/HostileInputs.h"

#include <cstdint>
#include <vector>

#include "support/GlbBuilder.h"

namespace hostile {

namespace {

// The three corners and the index list of one triangle: accessors 0 and 1.
const GlbData kPositions{Bytes<float>({0, 0, 0, 1, 0, 0, 0, 1, 0}), 5126, "VEC3", 3, "\"min\":[0,0,0],\"max\":[1,1,0]"};
const GlbData kIndices{Bytes<uint16_t>({0, 1, 2}), 5123, "SCALAR", 3, ""};
const char* const kTriangleMesh = "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}]";

std::string IndexList(int first, int count) {
  std::string list;
  for (int i = 0; i < count; ++i) list += (i ? "," : "") + std::to_string(first + i);
  return list;
}

}  // namespace

std::string NestedArrays(int depth) { return std::string(static_cast<size_t>(depth), '[') + std::string(static_cast<size_t>(depth), ']'); }

std::string GltfDeepExtras(int depth) {
  return "{\"asset\":{\"version\":\"2.0\"},\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"extras\":" + NestedArrays(depth) +
         "}]}";
}

std::string GlbSkinnedChains(int chains, int depth) {
  const int joints = depth < 128 ? depth : 128;
  std::string nodes, skins, roots;
  for (int c = 0; c < chains; ++c) {
    const int first = c * depth;
    roots += (c ? "," : "") + std::to_string(first);
    skins += std::string(c ? "," : "") + "{\"joints\":[" + IndexList(first, joints) + "]}";
    for (int i = 0; i < depth; ++i) {
      const std::string children = i + 1 < depth ? ",\"children\":[" + std::to_string(first + i + 1) + "]" : "";
      nodes += std::string(c || i ? "," : "") + "{\"mesh\":0,\"skin\":" + std::to_string(c) +
               ",\"translation\":[0,1,0]" + children + "}";
    }
  }
  return Glb("\"scenes\":[{\"nodes\":[" + roots + "]}],\"nodes\":[" + nodes + "],\"skins\":[" + skins + "]," +
                 kTriangleMesh,
             {kPositions, kIndices});
}

std::string GlbSharedMesh(int primitives, int nodes) {
  std::string list, nodeList;
  for (int p = 0; p < primitives; ++p) list += std::string(p ? "," : "") + "{\"attributes\":{\"POSITION\":0},\"indices\":1}";
  for (int n = 0; n < nodes; ++n) nodeList += std::string(n ? "," : "") + "{\"mesh\":0}";
  return Glb("\"scenes\":[{\"nodes\":[" + IndexList(0, nodes) + "]}],\"nodes\":[" + nodeList +
                 "],\"meshes\":[{\"primitives\":[" + list + "]}]",
             {kPositions, kIndices});
}

std::string GlbFarAccessorOffset() {
  return Glb("\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"mesh\":0}],"
             "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":2},\"indices\":1}]}]",
             {kPositions, kIndices, {Bytes<float>({0, 0, 0}), 5126, "VEC3", 0, "\"byteOffset\":18446744073709551615"}});
}

std::string GlbManyAnimatedNodes(int nodes) {
  std::string nodeList, channels;
  for (int n = 0; n < nodes; ++n) {
    nodeList += std::string(n ? "," : "") + "{}";
    channels += std::string(n ? "," : "") + "{\"sampler\":0,\"target\":{\"node\":" + std::to_string(n) +
                ",\"path\":\"translation\"}}";
  }
  const int joints = nodes < 128 ? nodes : 128;
  return Glb("\"scenes\":[{\"nodes\":[" + IndexList(0, nodes) + "]}],\"nodes\":[" + nodeList +
                 "],\"skins\":[{\"joints\":[" + IndexList(nodes - joints, joints) +
                 "]}],\"animations\":[{\"samplers\":[{\"input\":0,\"output\":1}],\"channels\":[" + channels + "]}]",
             {{Bytes<float>({0.0f, 2.0f}), 5126, "SCALAR", 2, ""}, {Bytes<float>({0, 0, 0, 2, 4, 6}), 5126, "VEC3", 2, ""}});
}

std::string GltfVersion1() {
  return "{\"asset\":{\"version\":\"1.0\"},\"scene\":\"s\",\"scenes\":{\"s\":{\"nodes\":[\"n\"]}},"
         "\"nodes\":{\"n\":{\"meshes\":[\"m\"]}},\"meshes\":{\"m\":{\"primitives\":[]}}}";
}

std::string ObjRepeatedLibrary(int lines, const std::string& library) {
  std::string obj;
  for (int i = 0; i < lines; ++i) obj += "mtllib " + library + "\n";
  return obj + "o quad\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nusemtl m1\nf 1 2 3 4\n";
}

std::string MtlLibrary(int materials) {
  std::string mtl;
  for (int i = 0; i < materials; ++i) mtl += "newmtl m" + std::to_string(i) + "\nKd 0.5 0.25 1\nNs 10\n";
  return mtl;
}

std::string SvgHugeCubics(int cubics, float width) {
  std::string d = "M0 0";
  const std::string w = std::to_string(width);
  for (int i = 0; i < cubics; ++i) d += (i % 2 ? " c0 -" : " c0 ") + w + " " + w + " " + w + " " + w + " 0";
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\"><path d=\"" + d + "\"/></svg>";
}

std::string SvgLongPath(int edges) {
  std::string d = "M0 0";
  for (int i = 1; i <= edges; ++i) d += " L" + std::to_string(i) + " " + (i % 2 ? "1" : "0");
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\"><path d=\"" + d + "\"/></svg>";
}

}  // namespace hostile
