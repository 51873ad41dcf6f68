// Crafted production files of the kinds an attacker would try against the
// player: each once hung it, exhausted its memory or its stack, or held its
// start for minutes. Generated here (the big ones are megabytes), for the
// loader tests and the hostile pack the player plays.
#pragma once
#include <string>

namespace hostile {

// `depth` nested JSON arrays: "[[[...]]]".
std::string NestedArrays(int depth);

// glTF
// A .gltf whose node "extras" nests `depth` arrays.
std::string GltfDeepExtras(int depth);
// `chains` chains of `depth` nodes, each node skinned with its chain's
// first 128 nodes as joints and the one triangle mesh.
std::string GlbSkinnedChains(int chains, int depth);
// One mesh of `primitives` primitives over one accessor, used by `nodes`
// root nodes.
std::string GlbSharedMesh(int primitives, int nodes);
// A primitive whose position accessor has count 0 and byte offset 2^64 - 1.
std::string GlbFarAccessorOffset();
// `nodes` root nodes, each moved by an animation channel and named as a
// joint of one skin: every lookup by index.
std::string GlbManyAnimatedNodes(int nodes);
// A glTF 1.0 document (meshes as an object of named members).
std::string GltfVersion1();

// OBJ: one quad after `lines` lines naming the library `library`.
std::string ObjRepeatedLibrary(int lines, const std::string& library);
// A material library of `materials` materials named m0, m1, ...
std::string MtlLibrary(int materials);

// SVG
// One path of `cubics` cubic segments, each `width` units wide, in a
// 100 x 100 document.
std::string SvgHugeCubics(int cubics, float width);
// One path of `edges` straight edges (a zigzag).
std::string SvgLongPath(int edges);

}  // namespace hostile
