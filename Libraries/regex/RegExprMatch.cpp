// TRegex: the backtracking matcher.
//
// The program is walked iteratively. Every choice point (an alternative not
// yet tried, a shorter or longer repetition, one more or one less loop
// iteration) and every change of state that must be undone on failure
// (match registers, loop counters and the loop-stack index) is pushed on an
// explicit stack; failing pops it back to the latest choice point. So no
// input can exhaust the machine stack, and every failing path restores the
// state exactly. The work of one search is bounded: beyond the step or
// stack limit it raises error 1016.
#include <algorithm>
#include <cstring>

#include "Libraries/regex/RegExpr.h"
#include "Libraries/regex/RegExprProgram.h"

using namespace regexprog;

namespace {

// Entries of the backtracking stack one search may hold.
constexpr size_t kStackLimit = 4'000'000;

enum FrameKind : uint8_t {
  kUndoRegister,   // a = register index, pos = old value
  kUndoLoopIndex,  // a = old loop-stack index
  kUndoLoopLevel,  // a = level, b = old counter, pos = old iteration start
  kUndoBack,       // a = slot, pos = old position
  kUndoOpen,       // a = group, pos = old start of its open match
  kTryBranch,      // node = alternative's BRANCH, pos
  kTryStar,        // node = STAR/PLUS/BRACES node, pos = start, a = next count, b = bound
  kTryLoopExit,    // node = LOOP node, pos
  kTryLoopIter,    // node = LOOPNG node, pos
};

inline const unsigned char* FindByte(const unsigned char* s, const unsigned char* end,
                                     unsigned char c) {
  return static_cast<const unsigned char*>(std::memchr(s, c, size_t(end - s)));
}

}  // namespace

bool TRegex::IsProgrammOk() {
  if (modifiers_ != programModifiers_) {
    program_.clear();
    compiled_ = false;
  }
  if (program_.empty()) Compile();
  if (program_.empty()) return false;
  if (program_[0] != MAGIC) Fail(1004);
  return true;
}

bool TRegex::Exec(std::string_view input) {
  // The registers point into the old input: clear them before anything
  // (compiling included) can raise.
  SetInputString(input);
  return ExecPrim(1);
}

bool TRegex::ExecPos(int offset) { return ExecPrim(offset); }

bool TRegex::ExecNext() {
  if (!hasInput_ || !regs_[0] || !regs_[1]) Fail(1007);
  int offset = GetMatchPos(0) + GetMatchLen(0);
  if (GetMatchLen(0) == 0) ++offset;
  return ExecPrim(offset);
}

bool TRegex::ExecPrim(int offset) {
  if (!IsProgrammOk()) return false;
  if (!hasInput_) Fail(1005);
  if (offset < 1) Fail(1006);
  // Every failed attempt undoes all it changed, so the registers, the loop
  // state and the BACK positions need resetting once per search only, and
  // only the program's own groups can have been set since the last full
  // clear (compiling and storing an input clear all).
  const int groups = std::min(npar_, NSUBEXP);
  std::memset(regs_, 0, sizeof(regs_[0]) * 2 * size_t(groups));
  std::memset(openStart_, 0, sizeof(openStart_[0]) * size_t(groups));
  loopIdx_ = 0;
  std::fill(backPos_.begin(), backPos_.end(), nullptr);
  stack_.clear();
  if (size_t(offset) > input_.size() + 1) return false;

  inputStart_ = reinterpret_cast<const unsigned char*>(input_.data());
  inputEnd_ = inputStart_ + input_.size();
  const unsigned char* s = inputStart_ + (offset - 1);
  const unsigned char* end = inputEnd_;
  steps_ = 0;

  if (regMust_ != 0) {
    const unsigned char* must = &program_[size_t(regMust_)];
    const unsigned char* p = s;
    bool found = false;
    while (end - p >= regMustLen_) {
      p = FindByte(p, end - regMustLen_ + 1, must[0]);
      if (!p) break;
      if (std::memcmp(p + 1, must + 1, size_t(regMustLen_ - 1)) == 0) {
        found = true;
        break;
      }
      ++p;
    }
    if (!found) return false;
  }

  if (anchored_) return RegMatch(s);

  if (regStart_ != 0) {
    for (;;) {
      s = FindByte(s, end, regStart_);
      if (!s) return false;
      if (RegMatch(s)) return true;
      ++s;
    }
  }

  if (canMatchEmpty_) {
    // A match may begin anywhere, the end of the input included.
    for (;; ++s) {
      if (RegMatch(s)) return true;
      if (s >= end) return false;
    }
  }

  // One or two possible first characters are searched with memchr.
  if (firstCharCount_ == 1) {
    for (;;) {
      s = FindByte(s, end, firstChars_[0]);
      if (!s) return false;
      if (RegMatch(s)) return true;
      ++s;
    }
  }
  if (firstCharCount_ == 2) {
    const unsigned char* p1 = FindByte(s, end, firstChars_[0]);
    const unsigned char* p2 = FindByte(s, end, firstChars_[1]);
    for (;;) {
      if (!p1 && !p2) return false;
      s = !p1 ? p2 : !p2 ? p1 : std::min(p1, p2);
      if (RegMatch(s)) return true;
      if (s == p1) p1 = FindByte(s + 1, end, firstChars_[0]);
      if (s == p2) p2 = FindByte(s + 1, end, firstChars_[1]);
    }
  }
  for (; s < end; ++s) {
    if (InSet(firstCharSet_, *s) && RegMatch(s)) return true;
  }
  return false;
}

int TRegex::regrepeat(int32_t node, const unsigned char* scan, int max) {
  const uint8_t* p = &program_[size_t(node)];
  std::ptrdiff_t left = inputEnd_ - scan;
  if (max > left) max = int(left);
  int n = 0;
  switch (p[0]) {
    case ANY:
      n = max;
      break;
    case ANYML:
      while (n < max && !InSet(lineSepSet_, scan[n]) &&
             !(linePairedSeparatorAssigned_ && scan[n] == linePairedSeparatorHead_ &&
               scan + n + 1 < inputEnd_ && scan[n + 1] == linePairedSeparatorTail_))
        ++n;
      break;
    case EXACTLY: {
      unsigned char c = p[5];
      while (n < max && scan[n] == c) ++n;
      break;
    }
    case EXACTLYCI: {
      unsigned char c = p[5], d = caseTable_[p[5]];
      while (n < max && (scan[n] == c || scan[n] == d)) ++n;
      break;
    }
    case ANYDIGIT:
      while (n < max && scan[n] >= '0' && scan[n] <= '9') ++n;
      break;
    case NOTDIGIT:
      while (n < max && !(scan[n] >= '0' && scan[n] <= '9')) ++n;
      break;
    case ANYOFTINYSET: {
      unsigned char a = p[5], b = p[6], c = p[7];
      while (n < max && (scan[n] == a || scan[n] == b || scan[n] == c)) ++n;
      break;
    }
    case ANYBUTTINYSET: {
      unsigned char a = p[5], b = p[6], c = p[7];
      while (n < max && scan[n] != a && scan[n] != b && scan[n] != c) ++n;
      break;
    }
    case ANYOFFULLSET:
      while (n < max && InSet(p + 5, scan[n])) ++n;
      break;
    default:
      Fail(1000);
  }
  return n;
}

// One attempt at `at`: true with register 0 set when the program matches.
bool TRegex::RegMatch(const unsigned char* at) {
  const uint8_t* prog = program_.data();
  const int32_t progSize = int32_t(program_.size());
  const unsigned char* const start = inputStart_;
  const unsigned char* const end = inputEnd_;

  const unsigned char* pos = at;
  int32_t node = 1;
  uint64_t steps = steps_;
  const uint64_t stepLimit = stepLimit_;

  auto push = [&](uint8_t kind, int32_t n, const unsigned char* p, int32_t a, int32_t b) {
    if (stack_.size() >= kStackLimit) {
      steps_ = steps;
      Fail(1016);
    }
    stack_.push_back(Frame{kind, n, p, a, b});
  };
  auto setLevel = [&](int32_t count, const unsigned char* iterStart) {
    push(kUndoLoopLevel, 0, loopIterStart_[loopIdx_], loopIdx_, loopCount_[loopIdx_]);
    loopCount_[loopIdx_] = count;
    loopIterStart_[loopIdx_] = iterStart;
  };
  auto linkOf = [&](int32_t n) -> int32_t {
    int32_t off = ReadInt(prog + n + 1);
    return off == 0 ? 0 : n + off;
  };

  // Repetition state shared by the STAR family and the one-character loops.
  const int32_t* const fastRepeat = fastRepeat_.data();
  int32_t repNode = 0, repNext = 0, repK = 0, repBound = 0;
  int32_t repMin = 0, repMax = 0, repOpnd = 0;
  const unsigned char* repStart = nullptr;
  bool repGreedy = true;

  for (;;) {
    // ---- run forward from `node` until failure or END ----
    for (;;) {
      if (++steps > stepLimit) {
        steps_ = steps;
        Fail(1016);
      }
      if (node <= 0 || node >= progSize) Fail(1002);
      const uint8_t* p = prog + node;
      const uint8_t op = p[0];
      const int32_t off = ReadInt(p + 1);
      const int32_t next = off == 0 ? 0 : node + off;
      switch (op) {
        case END:
          regs_[0] = at;
          regs_[1] = pos;
          steps_ = steps;
          return true;
        case BOL:
          if (pos != start) goto fail;
          break;
        case EOL:
          if (pos != end) goto fail;
          break;
        case BOLML:
          if (pos != start) {
            unsigned char prev = pos[-1];
            if (linePairedSeparatorAssigned_) {
              if (pos - start >= 2 && pos[-2] == linePairedSeparatorHead_ &&
                  prev == linePairedSeparatorTail_) {
                break;
              }
              if (pos < end && prev == linePairedSeparatorHead_ &&
                  *pos == linePairedSeparatorTail_) {
                goto fail;
              }
            }
            if (!InSet(lineSepSet_, prev)) goto fail;
          }
          break;
        case EOLML:
          if (pos != end) {
            unsigned char cur = *pos;
            if (linePairedSeparatorAssigned_) {
              if (cur == linePairedSeparatorHead_ && pos + 1 < end &&
                  pos[1] == linePairedSeparatorTail_) {
                break;
              }
              if (pos > start && pos[-1] == linePairedSeparatorHead_ &&
                  cur == linePairedSeparatorTail_) {
                goto fail;
              }
            }
            if (!InSet(lineSepSet_, cur)) goto fail;
          }
          break;
        case ANY:
          if (pos >= end) goto fail;
          ++pos;
          break;
        case ANYML:
          if (pos >= end) goto fail;
          if (linePairedSeparatorAssigned_ && *pos == linePairedSeparatorHead_ &&
              pos + 1 < end && pos[1] == linePairedSeparatorTail_) {
            goto fail;
          }
          if (InSet(lineSepSet_, *pos)) goto fail;
          ++pos;
          break;
        case ANYDIGIT:
          if (pos >= end || *pos < '0' || *pos > '9') goto fail;
          ++pos;
          break;
        case NOTDIGIT:
          if (pos >= end || (*pos >= '0' && *pos <= '9')) goto fail;
          ++pos;
          break;
        case EXACTLY: {
          const unsigned char* lit = p + 5;
          if (pos >= end || *pos != lit[0]) goto fail;
          size_t len = std::strlen(reinterpret_cast<const char*>(lit));
          if (size_t(end - pos) < len) goto fail;
          if (len > 1 && std::memcmp(pos + 1, lit + 1, len - 1) != 0) goto fail;
          pos += len;
          break;
        }
        case EXACTLYCI: {
          const unsigned char* lit = p + 5;
          const unsigned char* q = pos;
          for (; *lit; ++lit, ++q) {
            if (q >= end || (*q != *lit && *q != caseTable_[*lit])) goto fail;
          }
          pos = q;
          break;
        }
        case ANYOFTINYSET:
          if (pos >= end || (*pos != p[5] && *pos != p[6] && *pos != p[7])) goto fail;
          ++pos;
          break;
        case ANYBUTTINYSET:
          if (pos >= end || *pos == p[5] || *pos == p[6] || *pos == p[7]) goto fail;
          ++pos;
          break;
        case ANYOFFULLSET:
          if (pos >= end || !InSet(p + 5, *pos)) goto fail;
          ++pos;
          break;
        case BOUND:
        case NOTBOUND: {
          bool before = pos > start && InSet(wordSet_, pos[-1]);
          bool after = pos < end && InSet(wordSet_, *pos);
          if ((before != after) != (op == BOUND)) goto fail;
          break;
        }
        case BRANCH:
          if (next == 0) Fail(1002);
          if (int32_t exit = fastRepeat[node]) {
            repMin = 0;
            repMax = MAX_REPEAT;
            repOpnd = node + NODE_HEADER;
            repNext = exit;
            repGreedy = true;
            goto startRepeat;
          }
          if (prog[next] == BRANCH) push(kTryBranch, next, pos, 0, 0);
          node = node + NODE_HEADER;
          continue;
        case BACK: {
          // An iteration that consumed nothing ends the loop.
          int32_t slot = backSlot_[size_t(node)];
          if (slot < 0) Fail(1001);
          // A group body tells by its own match, the first iteration
          // included; other bodies by the position at the last pass here.
          int group = backGroup_[size_t(slot)];
          if (group != 0 ? (regs_[2 * group] == pos && regs_[2 * group + 1] == pos)
                         : backPos_[size_t(slot)] == pos) {
            node = backExit_[size_t(slot)];
            if (node == 0) Fail(1002);
            continue;
          }
          push(kUndoBack, 0, backPos_[size_t(slot)], slot, 0);
          backPos_[size_t(slot)] = pos;
          break;
        }
        case NOTHING:
        case COMMENT:
          break;
        case BSUBEXP:
        case BSUBEXPCI: {
          int n = p[5];
          if (n < 1 || n >= NSUBEXP) Fail(1001);
          const unsigned char* gs = regs_[2 * n];
          const unsigned char* ge = regs_[2 * n + 1];
          if (!gs || !ge || ge < gs) goto fail;
          size_t len = size_t(ge - gs);
          if (size_t(end - pos) < len) goto fail;
          if (op == BSUBEXP) {
            if (std::memcmp(pos, gs, len) != 0) goto fail;
          } else {
            for (size_t i = 0; i < len; ++i)
              if (pos[i] != gs[i] && pos[i] != caseTable_[gs[i]]) goto fail;
          }
          pos += len;
          break;
        }
        case STAR:
        case STARNG:
        case PLUS:
        case PLUSNG:
        case BRACES:
        case BRACESNG: {
          if (op == STAR || op == STARNG) {
            repMin = 0;
            repMax = MAX_REPEAT;
            repOpnd = node + NODE_HEADER;
          } else if (op == PLUS || op == PLUSNG) {
            repMin = 1;
            repMax = MAX_REPEAT;
            repOpnd = node + NODE_HEADER;
          } else {
            repMin = ReadInt(p + 5);
            repMax = ReadInt(p + 9);
            repOpnd = node + NODE_HEADER + 8;
          }
          if (next == 0) Fail(1002);
          repNext = next;
          repGreedy = !(op == STARNG || op == PLUSNG || op == BRACESNG);
          goto startRepeat;
        }
        case LOOPENTRY:
          if (next == 0) Fail(1002);
          if (fastRepeat[node] != 0) {
            // A loop over one character: counted like STAR.
            if (loopIdx_ + 1 > LoopStackMax) {
              steps_ = steps;
              Fail(1014);
            }
            repMin = ReadInt(prog + next + 5);
            repMax = ReadInt(prog + next + 9);
            repOpnd = node + NODE_HEADER;
            repNext = linkOf(next);
            repGreedy = prog[next] == LOOP;
            goto startRepeat;
          }
          push(kUndoLoopIndex, 0, nullptr, loopIdx_, 0);
          ++loopIdx_;
          if (loopIdx_ > LoopStackMax) {
            steps_ = steps;
            Fail(1014);
          }
          setLevel(0, pos);
          node = next;
          continue;
        case LOOP:
        case LOOPNG: {
          if (loopIdx_ == 0) Fail(1015);
          if (next == 0) Fail(1002);
          int32_t min = ReadInt(p + 5);
          int32_t max = ReadInt(p + 9);
          int32_t body = node - ReadInt(p + 13);
          if (body <= 0 || body >= progSize) Fail(1002);
          int32_t c = loopCount_[loopIdx_];
          // An iteration beyond the minimum that consumed nothing ends the loop.
          bool emptyIteration = c > 0 && c >= min && pos == loopIterStart_[loopIdx_];
          if (!emptyIteration) {
            if (c < min) {
              setLevel(c + 1, pos);
              node = body;
              continue;
            }
            if (c < max) {
              if (op == LOOP) {
                push(kTryLoopExit, node, pos, 0, 0);
                setLevel(c + 1, pos);
                node = body;
                continue;
              }
              push(kTryLoopIter, node, pos, 0, 0);
            }
          }
          // Leave the loop's level and go on after it.
          push(kUndoLoopIndex, 0, nullptr, loopIdx_, 0);
          --loopIdx_;
          node = next;
          continue;
        }
        default:
          if (op >= OPEN + 1 && op <= OPEN + 14) {
            // The group's registers change when it closes, so that a
            // back-reference inside it still sees the last complete match.
            int n = op - OPEN;
            push(kUndoOpen, 0, openStart_[n], n, 0);
            openStart_[n] = pos;
            break;
          }
          if (op >= CLOSE + 1 && op <= CLOSE + 14) {
            int n = op - CLOSE;
            push(kUndoRegister, 0, regs_[2 * n], 2 * n, 0);
            push(kUndoRegister, 0, regs_[2 * n + 1], 2 * n + 1, 0);
            regs_[2 * n] = openStart_[n] ? openStart_[n] : pos;
            regs_[2 * n + 1] = pos;
            break;
          }
          Fail(1001);
      }
      if (next == 0) Fail(1002);
      node = next;
      continue;

    startRepeat : {
      // Count the repetitions possible here, then try them.
      int32_t n = regrepeat(repOpnd, pos, repMax);
      steps += uint64_t(n);  // the scan is work too
      if (n < repMin) goto fail;
      repNode = node;
      repStart = pos;
      if (repGreedy) {
        repK = n;
        repBound = repMin;
      } else {
        repK = repMin;
        repBound = n;
      }
      goto tryRepeat;
    }

    tryRepeat : {
      // Try repetition counts from repK towards repBound; the character
      // after the repetition must equal a following literal's first.
      int la = prog[repNext] == EXACTLY ? prog[repNext + 5] : -1;
      const int32_t k0 = repK;
      if (repGreedy) {
        for (; repK >= repBound; --repK)
          if (la < 0 || repStart[repK] == la) break;
        if (repK < repBound) goto fail;
        if (repK > repBound) push(kTryStar, repNode, repStart, repK - 1, repBound);
      } else {
        for (; repK <= repBound; ++repK)
          if (la < 0 || repStart[repK] == la) break;
        if (repK > repBound) goto fail;
        if (repK < repBound) push(kTryStar, repNode, repStart, repK + 1, repBound);
      }
      steps += uint64_t(repK > k0 ? repK - k0 : k0 - repK);
      pos = repStart + repK;
      node = repNext;
      continue;
    }
    }

  fail:
    // ---- backtrack to the latest choice point ----
    for (;;) {
      if (stack_.empty()) {
        // Everything is undone: the registers are clear again.
        steps_ = steps;
        return false;
      }
      if (++steps > stepLimit) {
        steps_ = steps;
        Fail(1016);
      }
      Frame f = stack_.back();
      stack_.pop_back();
      switch (f.kind) {
        case kUndoRegister:
          regs_[f.a] = f.pos;
          continue;
        case kUndoLoopIndex:
          loopIdx_ = f.a;
          continue;
        case kUndoLoopLevel:
          loopCount_[f.a] = f.b;
          loopIterStart_[f.a] = f.pos;
          continue;
        case kUndoBack:
          backPos_[size_t(f.a)] = f.pos;
          continue;
        case kUndoOpen:
          openStart_[f.a] = f.pos;
          continue;
        case kTryBranch: {
          pos = f.pos;
          int32_t next = linkOf(f.node);
          if (next != 0 && prog[next] == BRANCH) push(kTryBranch, next, pos, 0, 0);
          node = f.node + NODE_HEADER;
          break;
        }
        case kTryStar: {
          uint8_t op = prog[f.node];
          repNode = f.node;
          repStart = f.pos;
          repK = f.a;
          repBound = f.b;
          if (op == BRANCH) {
            repNext = fastRepeat[f.node];
            repGreedy = true;
          } else if (op == LOOPENTRY) {
            int32_t loop = linkOf(f.node);
            repNext = linkOf(loop);
            repGreedy = prog[loop] == LOOP;
          } else {
            repNext = linkOf(f.node);
            repGreedy = !(op == STARNG || op == PLUSNG || op == BRACESNG);
          }
          // Re-enter the repetition search.
          int la = prog[repNext] == EXACTLY ? prog[repNext + 5] : -1;
          const int32_t k0 = repK;
          bool found = false;
          if (repGreedy) {
            for (; repK >= repBound; --repK)
              if (la < 0 || repStart[repK] == la) {
                found = true;
                break;
              }
            if (found && repK > repBound)
              push(kTryStar, repNode, repStart, repK - 1, repBound);
          } else {
            for (; repK <= repBound; ++repK)
              if (la < 0 || repStart[repK] == la) {
                found = true;
                break;
              }
            if (found && repK < repBound)
              push(kTryStar, repNode, repStart, repK + 1, repBound);
          }
          steps += uint64_t(repK > k0 ? repK - k0 : k0 - repK);
          if (!found) continue;
          pos = repStart + repK;
          node = repNext;
          break;
        }
        case kTryLoopExit:
          pos = f.pos;
          push(kUndoLoopIndex, 0, nullptr, loopIdx_, 0);
          --loopIdx_;
          node = linkOf(f.node);
          break;
        case kTryLoopIter: {
          pos = f.pos;
          const uint8_t* p = prog + f.node;
          setLevel(loopCount_[loopIdx_] + 1, pos);
          node = f.node - ReadInt(p + 13);
          break;
        }
        default:
          Fail(1001);
      }
      break;  // resume running forward
    }
  }
}
