// plinth security FILE, plinth privilege NAME on|off, plinth os: a file's owner, group and
// access per account through CKaSecurity; switching a privilege of this process; and every
// version query and predicate of CKaOSVersionInfo.

#include <plinth/KaOSVersionInfo.h>
#include <plinth/KaSecurity.h>
#include <plinth/win32.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Tool.h"

namespace plinth_tool {
namespace {

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

// The mask as named rights: the file composites it holds whole first, then single rights, then
// whatever bits have no name, in hex.
std::string RightNames(DWORD mask) {
  // clang-format off
  static const std::pair<DWORD, const char*> kComposites[] = {
      {FILE_ALL_ACCESS,      "FILE_ALL_ACCESS"},
      {FILE_GENERIC_READ,    "FILE_GENERIC_READ"},
      {FILE_GENERIC_WRITE,   "FILE_GENERIC_WRITE"},
      {FILE_GENERIC_EXECUTE, "FILE_GENERIC_EXECUTE"},
  };
  static const std::pair<DWORD, const char*> kSingles[] = {
      {FILE_READ_DATA,       "FILE_READ_DATA"},
      {FILE_WRITE_DATA,      "FILE_WRITE_DATA"},
      {FILE_APPEND_DATA,     "FILE_APPEND_DATA"},
      {FILE_READ_EA,         "FILE_READ_EA"},
      {FILE_WRITE_EA,        "FILE_WRITE_EA"},
      {FILE_EXECUTE,         "FILE_EXECUTE"},
      {FILE_DELETE_CHILD,    "FILE_DELETE_CHILD"},
      {FILE_READ_ATTRIBUTES, "FILE_READ_ATTRIBUTES"},
      {FILE_WRITE_ATTRIBUTES, "FILE_WRITE_ATTRIBUTES"},
      {DELETE,               "DELETE"},
      {READ_CONTROL,         "READ_CONTROL"},
      {WRITE_DAC,            "WRITE_DAC"},
      {WRITE_OWNER,          "WRITE_OWNER"},
      {SYNCHRONIZE,          "SYNCHRONIZE"},
      {ACCESS_SYSTEM_SECURITY, "ACCESS_SYSTEM_SECURITY"},
      {MAXIMUM_ALLOWED,      "MAXIMUM_ALLOWED"},
      {GENERIC_ALL,          "GENERIC_ALL"},
      {GENERIC_EXECUTE,      "GENERIC_EXECUTE"},
      {GENERIC_WRITE,        "GENERIC_WRITE"},
      {GENERIC_READ,         "GENERIC_READ"},
  };
  // clang-format on
  std::string names;
  auto add = [&](const char* name) {
    if (!names.empty()) names += '|';
    names += name;
  };
  DWORD left = mask;
  for (const auto& [bits, name] : kComposites) {
    if ((mask & bits) == bits && (left & bits) != 0) {
      add(name);
      left &= ~bits;
    }
  }
  for (const auto& [bits, name] : kSingles) {
    if (left & bits) {
      add(name);
      left &= ~bits;
    }
  }
  if (left) add(Hex(left).c_str());
  return names.empty() ? "none" : names;
}

// A descriptor read from a file, as a host derives CKaSecurity for its objects.
class FileSecurity : public CKaSecurity {
 public:
  void Load(const std::string& path) {
    const SECURITY_INFORMATION wanted =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    if (!GetFileSecurityA(path.c_str(), wanted, nullptr, 0, &needed) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
      Fail(path, GetLastError());
    void* sd = std::malloc(needed);
    if (!sd)
      throw ToolError("out of memory reading the security of " + DisplayName(path) +
                      "; close other programs and try again");
    if (!GetFileSecurityA(path.c_str(), wanted, sd, needed, &needed)) {
      const DWORD error = GetLastError();
      std::free(sd);
      Fail(path, error);
    }
    if (!SetSecurityDescriptor(sd)) {
      std::free(sd);
      throw ToolError("the security descriptor of " + DisplayName(path) +
                      " is not valid; report this as a fault of the platform layer");
    }
  }

 private:
  [[noreturn]] static void Fail(const std::string& path, DWORD error) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
      throw ToolError(DisplayName(path) + " does not exist; check the path");
    if (error == ERROR_ACCESS_DENIED)
      throw ToolError("cannot read the security of " + DisplayName(path) +
                      ": access denied; run as a user who may see its folder");
    throw ToolError("cannot read the security of " + DisplayName(path) + " (error " +
                    std::to_string(error) + "); check that it is a file or folder");
  }
};

std::string Describe(const CKaSecurity::SIDInfo& info) {
  std::string domain = info.strDomainName.GetString();
  return std::string(info.strAccountName.GetString()) +
         (domain.empty() ? "" : " (" + domain + ")") + "  " + info.strSID.GetString() + "  " +
         info.strSIDType.GetString() + "\n";
}

int RunSecurity(const std::string& path) {
  FileSecurity security;
  security.Load(path);
  std::string out;
  CKaSecurity::SIDInfo info;
  out += "owner: " + (security.GetOwnerSIDInfo(info) ? Describe(info) : std::string("unknown\n"));
  out += "group: " +
         (security.GetPrimaryGroupSIDInfo(info) ? Describe(info) : std::string("unknown\n"));
  // The table's own order carries no meaning: accounts are listed by name.
  std::map<std::string, const CKaSecurity::AccessInfo*> accounts;
  security.Reset();
  CKaSecurity::AccessInfo* record = nullptr;
  while (security.Next(1, &record, nullptr) == S_OK)
    accounts[record->strAccountName.GetString()] = record;
  out += "access:\n";
  for (const auto& [name, access] : accounts) {
    std::string domain = access->strDomainName.GetString();
    out += "  " + name + (domain.empty() ? "" : " (" + domain + ")") + "  " +
           Hex(access->dwAccessMask) + "  " + RightNames(access->dwAccessMask) + "\n";
  }
  if (accounts.empty()) out += "  (no entries)\n";
  Output output("-");
  output.Write(out);
  output.Commit();
  return kExitOk;
}

int RunPrivilege(const std::string& name, const std::string& state) {
  LUID luid;
  if (!LookupPrivilegeValueA(nullptr, name.c_str(), &luid))
    throw ToolError("unknown privilege '" + name +
                    "'; privilege names look like SeShutdownPrivilege or SeDebugPrivilege");
  const bool on = state == "on";
  if (!CKaSecurity::SetPrivilegeInAccessToken(on, name.c_str())) {
    Complain(name + " is not held by this process, so it cannot be switched " + state +
             "; run as an account (or with the capability) that holds it");
    return kExitNothingFound;
  }
  Output output("-");
  output.Write(name + " " + state + "\n");
  output.Commit();
  return kExitOk;
}

int RunOs() {
  std::string out;
  auto number = [&](const char* label, unsigned long value) {
    out += std::string(label) + ": " + std::to_string(value) + "\n";
  };
  auto predicate = [&](const char* label, bool value) {
    out += std::string(label) + ": " + (value ? "yes" : "no") + "\n";
  };
  number("major", CKaOSVersionInfo::GetMajorVersion());
  number("minor", CKaOSVersionInfo::GetMinorVersion());
  number("build number field", CKaOSVersionInfo::GetBuildNumber());
  number("build", CKaOSVersionInfo::BuildNumber());
  number("platform", CKaOSVersionInfo::GetPlatformID());
  out += std::string("service pack: ") + CKaOSVersionInfo::GetCSDVersion().GetString() + "\n";
  predicate("IsOSWin32s", CKaOSVersionInfo::IsOSWin32s());
  predicate("IsOSWin95", CKaOSVersionInfo::IsOSWin95());
  predicate("IsOSWin98", CKaOSVersionInfo::IsOSWin98());
  predicate("IsOSNT3_51", CKaOSVersionInfo::IsOSNT3_51());
  predicate("IsOSNT4_0", CKaOSVersionInfo::IsOSNT4_0());
  predicate("IsOSNT5_0", CKaOSVersionInfo::IsOSNT5_0());
  predicate("IsOSXP", CKaOSVersionInfo::IsOSXP());
  predicate("IsOSNT", CKaOSVersionInfo::IsOSNT());
  predicate("IsOS9x", CKaOSVersionInfo::IsOS9x());
  Output output("-");
  output.Write(out);
  output.Commit();
  return kExitOk;
}

}  // namespace

void AddSecurityCommands(CLI::App& app, int& exitCode) {
  auto path = std::make_shared<std::string>();
  CLI::App* security = app.add_subcommand(
      "security", "Show the owner, group and access per account of a file or folder");
  security->footer(
      "Masks are shown in hex and as named rights; an account named by several entries "
      "(allowed, denied or audited) shows the union of their rights.\n"
      "Example: plinth security notes.txt\n"
      "Exit status: 0 shown, 2 usage error or unreadable file.");
  security->add_option("FILE", *path, "The file or folder")->required()->type_name("");
  security->callback([path, &exitCode] { exitCode = RunSecurity(*path); });

  auto name = std::make_shared<std::string>();
  auto state = std::make_shared<std::string>();
  CLI::App* privilege = app.add_subcommand(
      "privilege", "Switch a privilege of this process on or off and report whether it could");
  privilege->footer(
      "The change lasts as long as this process; use it to learn whether the account holds "
      "the privilege.\n"
      "Example: plinth privilege SeShutdownPrivilege on\n"
      "Exit status: 0 switched, 1 not held, 2 usage error or unknown privilege.");
  privilege->add_option("NAME", *name, "Privilege name, such as SeShutdownPrivilege")
      ->required()
      ->type_name("");
  privilege->add_option("STATE", *state, "on or off")
      ->required()
      ->check(CLI::IsMember({"on", "off"}))
      ->type_name("");
  privilege->callback([name, state, &exitCode] { exitCode = RunPrivilege(*name, *state); });

  CLI::App* os = app.add_subcommand("os", "Show the operating-system version and every predicate");
  os->footer(
      "Example: plinth os\n"
      "Exit status: 0 shown.");
  os->callback([&exitCode] { exitCode = RunOs(); });
}

}  // namespace plinth_tool
