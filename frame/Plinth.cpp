// The library's static objects. They live in this one file so that their construction order at
// load is fixed: the order of definition below. Destruction runs in reverse at unload.
// Static objects that later subsystems add (the version record, the root-key map, the name of
// the default value) go between the application object and the module load, in that order.

#include <plinth/KaHresults.h>
#include <plinth/KaOSVersionInfo.h>
#include <plinth/Registry.h>

#include "frame/PlinthApp.h"
#include "frame/Resource.h"

// Constant-initialised: it reads 0 until the result-code holder below is constructed.
long HR_DUPLICATE_NAME = 0;

namespace {

const AFX_STRING_RESOURCE kPlinthStrings[] = {
    {IDS_SOCKETS_INIT_FAILED, "Windows sockets initialization failed."},
    {IDS_DEFAULT_VALUE_NAME, "(Default)"},
};

// 1. The module state.
CAfxModule thePlinthModule(kPlinthStrings,
                           static_cast<int>(sizeof kPlinthStrings / sizeof kPlinthStrings[0]));

}  // namespace

// 2. The result-code holder; its construction sets HR_DUPLICATE_NAME.
CKaHresults CKaHresults::m_hResults;

namespace {

// 3. The application object.
CPlinthApp thePlinthApp;

}  // namespace

// 4. The operating-system version, read once here and never again.
CKaOSVersionInfo CKaOSVersionInfo::m_cOSVerInfo;

// 5. The root-key names and 6. the display name of a key's default value.
CMapStringToPtr CRegistry::mapTopKeys(10);
CString CRegistry::m_strDefaultKey;

namespace {

// Both are filled on first use, which two host threads could otherwise race on; filling them
// here, while the library loads, leaves every later use a read.
struct RegistryNamesAtLoad {
  RegistryNamesAtLoad() {
    CRegistry registry;  // its construction loads the default value's name
    CString name;
    CRegistry::GetStringFromKey(HKEY_CURRENT_USER, name);
  }
} theRegistryNamesAtLoad;

}  // namespace

namespace {

// Last: starts the application once every static object above exists.
CModuleLoad thePlinthModuleLoad(thePlinthModule, thePlinthApp);

}  // namespace

CAfxModule& PlinthModule() { return thePlinthModule; }
