// The start-up table's runner.
#include "classlib/ModuleInit.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

struct TModuleState {
  TModuleEntry entry{};
  int count = 0;
};

std::recursive_mutex g_lock;
std::map<std::string, TModuleState>& Modules() {
  static std::map<std::string, TModuleState> m;
  return m;
}
// Names in the order they were counted, one per count.
std::vector<std::string>& Order() {
  static std::vector<std::string> o;
  return o;
}

void FinalizeDownTo(size_t keep) {
  while (Order().size() > keep) {
    std::string name = Order().back();
    Order().pop_back();
    TModuleState& st = Modules()[name];
    if (st.count > 0 && --st.count == 0 && st.entry.Finalize) {
      TModuleProc fini = st.entry.Finalize;
      CallProtected([&] { fini(); });
    }
  }
}

}  // namespace

void InitializeModules(const TModuleEntry* Table, size_t Count) {
  std::lock_guard<std::recursive_mutex> lock(g_lock);
  size_t start = Order().size();
  for (size_t i = 0; i < Count; ++i) {
    const TModuleEntry& e = Table[i];
    if (!e.Name) throw EInvalidOperation(String(L"A start-up table entry has no name"));
    TModuleState& st = Modules()[e.Name];
    if (st.count == 0) st.entry = e;
    if (st.count++ == 0 && e.Initialize) {
      try {
        e.Initialize();
      } catch (...) {
        --st.count;
        FinalizeDownTo(start);
        throw;
      }
    }
    Order().push_back(e.Name);
  }
}

void FinalizeModules() {
  std::lock_guard<std::recursive_mutex> lock(g_lock);
  FinalizeDownTo(0);
}

int ModuleInitCount(const char* Name) {
  std::lock_guard<std::recursive_mutex> lock(g_lock);
  auto it = Modules().find(Name ? Name : "");
  return it == Modules().end() ? 0 : it->second.count;
}
