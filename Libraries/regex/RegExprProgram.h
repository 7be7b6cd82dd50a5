// Layout of a compiled program, shared by the compiler, the matcher and the
// dump. Internal to the engine.
#pragma once

#include <cstdint>
#include <cstring>

namespace regexprog {

constexpr uint8_t MAGIC = 216;

// A node: opcode (1 byte), link (signed 32-bit, little-endian, offset from
// the node to the next node, 0 = none), operands.
constexpr int NODE_HEADER = 5;

enum : uint8_t {
  END = 0,
  BOL = 1,
  EOL = 2,
  ANY = 3,
  ANYOF = 4,
  ANYBUT = 5,
  BRANCH = 6,
  BACK = 7,
  EXACTLY = 8,
  NOTHING = 9,
  STAR = 10,
  PLUS = 11,
  ANYDIGIT = 12,
  NOTDIGIT = 13,
  ANYLETTER = 14,
  NOTLETTER = 15,
  ANYSPACE = 16,
  NOTSPACE = 17,
  BRACES = 18,
  COMMENT = 19,
  EXACTLYCI = 20,
  ANYOFCI = 21,
  ANYBUTCI = 22,
  LOOPENTRY = 23,
  LOOP = 24,
  ANYOFTINYSET = 25,
  ANYBUTTINYSET = 26,
  ANYOFFULLSET = 27,
  BSUBEXP = 28,
  BSUBEXPCI = 29,
  STARNG = 30,
  PLUSNG = 31,
  BRACESNG = 32,
  LOOPNG = 33,
  BOLML = 34,
  EOLML = 35,
  ANYML = 36,
  BOUND = 37,
  NOTBOUND = 38,
  OPEN = 39,   // OPEN + n opens sub-expression n (1..14)
  CLOSE = 54,  // CLOSE + n closes it
  LAST_OP = 68,
};

// Flags passed up while parsing.
enum : int {
  FLAG_WORST = 0,
  FLAG_HASWIDTH = 1,
  FLAG_SIMPLE = 2,
  FLAG_SPSTART = 4,
};

constexpr int32_t MAX_BRACES_ARG = 2147483647 - 1;  // {n,} and loops
constexpr int32_t MAX_REPEAT = 2147483647;          // STAR and PLUS

inline int32_t ReadInt(const uint8_t* p) {
  uint32_t v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
               (uint32_t(p[3]) << 24);
  return static_cast<int32_t>(v);
}

inline void WriteInt(uint8_t* p, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

inline bool InSet(const uint8_t* set, unsigned char c) { return (set[c >> 3] >> (c & 7)) & 1; }
inline void AddToSet(uint8_t* set, unsigned char c) { set[c >> 3] |= uint8_t(1u << (c & 7)); }

// Size of a node with its operands (EXACTLY's literal included).
inline int32_t NodeSize(const uint8_t* node) {
  switch (node[0]) {
    case EXACTLY:
    case EXACTLYCI:
      return NODE_HEADER + int32_t(std::strlen(reinterpret_cast<const char*>(node + 5))) + 1;
    case ANYOFTINYSET:
    case ANYBUTTINYSET:
      return NODE_HEADER + 3;
    case ANYOFFULLSET:
      return NODE_HEADER + 32;
    case BSUBEXP:
    case BSUBEXPCI:
      return NODE_HEADER + 1;
    case BRACES:
    case BRACESNG:
      return NODE_HEADER + 8;
    case LOOP:
    case LOOPNG:
      return NODE_HEADER + 12;
    default:
      return NODE_HEADER;
  }
}

}  // namespace regexprog
