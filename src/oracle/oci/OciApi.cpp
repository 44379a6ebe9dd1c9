#include "oracle/oci/OciApi.h"

#include <QFile>
#include <QHash>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace ora::oci {

namespace {

struct LoaderState {
  std::mutex mutex;
  QStringList testNames;
  // Libraries that loaded with every call, by the name that opened them.
  QHash<QString, std::shared_ptr<const Api>> loaded;
};

LoaderState& State() {
  static LoaderState state;
  return state;
}

#ifdef _WIN32
void* OpenLibrary(const QString& name) {
  return reinterpret_cast<void*>(LoadLibraryW(reinterpret_cast<LPCWSTR>(name.utf16())));
}
void* Symbol(void* lib, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(lib), name));
}
void CloseLibrary(void* lib) {
  FreeLibrary(static_cast<HMODULE>(lib));
}
#else
void* OpenLibrary(const QString& name) {
  return dlopen(QFile::encodeName(name).constData(), RTLD_NOW | RTLD_LOCAL);
}
void* Symbol(void* lib, const char* name) {
  return dlsym(lib, name);
}
void CloseLibrary(void* lib) {
  dlclose(lib);
}
#endif

template <typename F>
bool Resolve(void* lib, const char* name, F& target) {
  target = reinterpret_cast<F>(Symbol(lib, name));
  return target != nullptr;
}

// Looks up every call; false when one is missing.
bool ResolveAll(void* lib, Api& api) {
  return Resolve(lib, "OCIEnvNlsCreate", api.envNlsCreate) &&
         Resolve(lib, "OCIHandleAlloc", api.handleAlloc) &&
         Resolve(lib, "OCIHandleFree", api.handleFree) &&
         Resolve(lib, "OCIDescriptorAlloc", api.descriptorAlloc) &&
         Resolve(lib, "OCIDescriptorFree", api.descriptorFree) &&
         Resolve(lib, "OCIServerAttach", api.serverAttach) &&
         Resolve(lib, "OCIServerDetach", api.serverDetach) &&
         Resolve(lib, "OCISessionBegin", api.sessionBegin) &&
         Resolve(lib, "OCISessionEnd", api.sessionEnd) && Resolve(lib, "OCIAttrSet", api.attrSet) &&
         Resolve(lib, "OCIAttrGet", api.attrGet) &&
         Resolve(lib, "OCIStmtPrepare2", api.stmtPrepare2) &&
         Resolve(lib, "OCIStmtRelease", api.stmtRelease) &&
         Resolve(lib, "OCIStmtExecute", api.stmtExecute) &&
         Resolve(lib, "OCIParamGet", api.paramGet) &&
         Resolve(lib, "OCIDefineByPos", api.defineByPos) &&
         Resolve(lib, "OCIStmtFetch2", api.stmtFetch2) &&
         Resolve(lib, "OCIBindByName", api.bindByName) &&
         Resolve(lib, "OCIErrorGet", api.errorGet) &&
         Resolve(lib, "OCITransRollback", api.transRollback) &&
         Resolve(lib, "OCIBreak", api.breakCall) &&
         Resolve(lib, "OCILobGetLength2", api.lobGetLength2) &&
         Resolve(lib, "OCILobRead2", api.lobRead2) &&
         Resolve(lib, "OCIClientVersion", api.clientVersion);
}

}  // namespace

QStringList DefaultLibraryNames() {
#if defined(_WIN32)
  return {QStringLiteral("oci.dll")};
#else
#if defined(__APPLE__)
  const QString base = QStringLiteral("libclntsh.dylib");
#else
  const QString base = QStringLiteral("libclntsh.so");
#endif
  // 23.1 is not in the lists read for this driver; trying it costs nothing.
  QStringList names{base};
  for (const char* v : {"19.1", "18.1", "12.1", "11.1", "20.1", "21.1", "23.1"})
    names << base + QLatin1Char('.') + QLatin1String(v);
  return names;
#endif
}

void SetLibraryNamesForTest(const QStringList& names) {
  std::lock_guard lock(State().mutex);
  State().testNames = names;
}

std::shared_ptr<const Api> LoadApi() {
  LoaderState& state = State();
  std::lock_guard lock(state.mutex);
  const QStringList names = state.testNames.isEmpty() ? DefaultLibraryNames() : state.testNames;
  for (const QString& name : names) {
    if (auto it = state.loaded.constFind(name); it != state.loaded.constEnd()) return *it;
    void* lib = OpenLibrary(name);
    if (!lib) continue;
    auto api = std::make_shared<Api>();
    if (!ResolveAll(lib, *api)) {
      // A library of the right name that is not a usable client: no later name is more likely
      // to be one, and loading two clients into one process invites trouble.
      CloseLibrary(lib);
      return nullptr;
    }
    state.loaded.insert(name, api);
    return api;
  }
  return nullptr;
}

}  // namespace ora::oci
