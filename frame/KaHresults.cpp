#include <plinth/KaHresults.h>

#include <plinth/win32.h>

namespace {
// Severity error, interface facility, code 0x100: a name that is already taken.
constexpr HRESULT kDuplicateName = MAKE_HRESULT(1, FACILITY_ITF, 0x100);
}  // namespace

CKaHresults::CKaHresults() { InitHresultCodes(); }

void CKaHresults::InitHresultCodes() { HR_DUPLICATE_NAME = kDuplicateName; }
