// The spooler calls: open printers, their driver and data, and jobs delivered through the port.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "../system/environment.h"
#include "delivery.h"
#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "printer_store.h"
#include "spooler_internal.h"
#include "spoolss.h"
#include "win/error.h"
#include "win/spooler.h"

namespace platform::spooler {
namespace {

constexpr char16_t kEnvironment[] = u"Linux x64";

struct WriteHooks {
  std::optional<uint64_t> failAt;
  std::optional<uint64_t> shortAt;
  std::optional<uint64_t> cancelAt;
};

struct Job {
  DWORD id = 0;
  std::u16string printer;
  std::u16string document;
  std::u16string user;
  uint64_t bytes = 0;
  DWORD status = JOB_STATUS_SPOOLING;
  bool cancelled = false;
  bool failed = false;
  DWORD error = ERROR_SUCCESS;  // why the delivery failed
  std::unique_ptr<Delivery> delivery;
  SYSTEMTIME submitted{};
};

struct Handle {
  std::u16string printer;
  std::string port;  // taken when the printer is opened: a later change of the printer is not this job's
  ACCESS_MASK access = PRINTER_ACCESS_USE;
  std::shared_ptr<Job> job;
};

std::mutex g_lock;
std::set<Handle*> g_handles;
std::map<DWORD, std::shared_ptr<Job>> g_jobs;  // jobs stay listed after they end
uint32_t g_jobCounter = 0;
std::map<std::u16string, WriteHooks> g_writeHooks;
std::atomic<bool> g_cancelAll{false};

Handle* Lookup(HANDLE h) {
  auto* p = static_cast<Handle*>(h);
  return g_handles.count(p) ? p : nullptr;
}

// Copies a string into the tail of a caller's buffer; returns where it went.
LPWSTR PackString(BYTE*& tail, const std::u16string& s) {
  tail -= (s.size() + 1) * sizeof(WCHAR);
  std::memcpy(tail, s.c_str(), (s.size() + 1) * sizeof(WCHAR));
  return reinterpret_cast<LPWSTR>(tail);
}

size_t StringBytes(const std::u16string& s) { return (s.size() + 1) * sizeof(WCHAR); }

bool CheckBuffer(DWORD needed, DWORD cbBuf, LPBYTE buf, LPDWORD pcbNeeded) {
  if (pcbNeeded != nullptr) *pcbNeeded = needed;
  if (buf == nullptr || cbBuf < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  return true;
}

[[maybe_unused]] const bool g_registered = [] {
  hooks::OnReset([] {
    std::lock_guard g(g_lock);
    g_writeHooks.clear();
    g_cancelAll.store(false);
  });
  return true;
}();

// Job ids are unique among the processes running at a time, as they would be in a shared
// spooler: the process id above a per-process counter, kept below 2^31 so that StartDoc's int
// result stays positive (pids stay below 2^22).
DWORD NextJobId() {
  constexpr uint32_t kCounterBits = 9;
  const auto pid = static_cast<uint32_t>(::getpid()) & ((1u << 22) - 1);
  for (uint32_t tries = 0; tries < (1u << kCounterBits); ++tries) {
    DWORD id = (pid << kCounterBits) | (g_jobCounter++ & ((1u << kCounterBits) - 1));
    auto it = g_jobs.find(id);
    if (id != 0 && (it == g_jobs.end() || it->second->delivery == nullptr)) return id;
  }
  return 0;
}

// Marks the job failed by its delivery and sets the last error to why.
void FailJob(Job& job, DWORD error) {
  job.failed = true;
  job.status |= JOB_STATUS_ERROR;
  if (job.error == ERROR_SUCCESS) job.error = error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
  SetLastError(job.error);
}

void CheckCancelAt(Job& job) {
  if (g_cancelAll.load()) job.cancelled = true;
  auto it = g_writeHooks.find(job.printer);
  if (it != g_writeHooks.end() && it->second.cancelAt && job.bytes >= *it->second.cancelAt) job.cancelled = true;
}

}  // namespace

bool JobCancelled(HANDLE printer) {
  std::lock_guard g(g_lock);
  Handle* h = Lookup(printer);
  if (h == nullptr || !h->job) return false;
  CheckCancelAt(*h->job);
  return h->job->cancelled;
}

DWORD JobFailureReason(HANDLE printer) {
  std::lock_guard g(g_lock);
  Handle* h = Lookup(printer);
  return h != nullptr && h->job ? h->job->error : ERROR_SUCCESS;
}

std::optional<std::u16string> PrinterNameOf(HANDLE printer) {
  std::lock_guard g(g_lock);
  Handle* h = Lookup(printer);
  if (h == nullptr) return std::nullopt;
  return h->printer;
}

void RequestCancelAllJobs() { g_cancelAll.store(true); }

bool CancelJob(DWORD jobId) {
  std::lock_guard g(g_lock);
  auto it = g_jobs.find(jobId);
  if (it == g_jobs.end()) return false;
  it->second->cancelled = true;
  return true;
}

// The stored printer behind a handle for a level-2 query; sets the last error when there is none.
std::optional<StoredPrinter> PrinterForLevel2Query(HANDLE printer, DWORD level, DWORD missingError) {
  auto name = PrinterNameOf(printer);
  if (!name) {
    SetLastError(ERROR_INVALID_HANDLE);
    return std::nullopt;
  }
  if (level != 2) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  auto stored = LoadPrinter(*name);
  if (!stored) SetLastError(missingError);
  return stored;
}

}  // namespace platform::spooler

using namespace platform::spooler;

extern "C" BOOL OpenPrinterW(LPCWSTR printerName, HANDLE* printer, const PRINTER_DEFAULTSW* defaults) {
  if (printer == nullptr || printerName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *printer = nullptr;
  std::u16string name(platform::WideField(printerName, 4096));
  auto stored = LoadPrinter(name);
  if (!stored) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return FALSE;
  }
  if (ActingAsSpooler()) RecordIdentitySwitch("open " + platform::Utf16ToUtf8(name) + " as spooler");
  auto* h = new Handle{name, stored->config.port, defaults != nullptr ? defaults->DesiredAccess : PRINTER_ACCESS_USE,
                       nullptr};
  std::lock_guard g(g_lock);
  g_handles.insert(h);
  *printer = h;
  return TRUE;
}

extern "C" BOOL ClosePrinter(HANDLE printer) {
  std::unique_ptr<Handle> h;
  {
    std::lock_guard g(g_lock);
    Handle* found = Lookup(printer);
    if (found == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    g_handles.erase(found);
    h.reset(found);
    if (h->job && h->job->delivery) {
      // A job left open by its handle is abandoned, as the spooler does for a dead client.
      h->job->delivery->Abandon();
      h->job->delivery.reset();
      h->job->status = JOB_STATUS_DELETED;
    }
  }
  return TRUE;
}

extern "C" BOOL GetPrinterDriverW(HANDLE printer, LPCWSTR, DWORD level, LPBYTE driverInfo, DWORD cbBuf,
                                  LPDWORD needed) {
  auto stored = PrinterForLevel2Query(printer, level, ERROR_UNKNOWN_PRINTER_DRIVER);
  if (!stored) return FALSE;
  const std::u16string* name = &stored->config.name;
  const auto& c = stored->config;
  std::u16string strings[] = {c.driverName, kEnvironment, platform::Utf8ToUtf16(c.driverPath),
                              platform::Utf8ToUtf16(PrinterFolder(*name) + "/printer.dat"),
                              platform::Utf8ToUtf16(c.configPath)};
  size_t total = sizeof(DRIVER_INFO_2W);
  for (const auto& s : strings) total += StringBytes(s);
  if (!CheckBuffer(static_cast<DWORD>(total), cbBuf, driverInfo, needed)) return FALSE;
  auto* info = reinterpret_cast<DRIVER_INFO_2W*>(driverInfo);
  BYTE* tail = driverInfo + total;
  info->cVersion = 3;
  info->pName = PackString(tail, strings[0]);
  info->pEnvironment = PackString(tail, strings[1]);
  info->pDriverPath = PackString(tail, strings[2]);
  info->pDataFile = PackString(tail, strings[3]);
  info->pConfigFile = PackString(tail, strings[4]);
  return TRUE;
}

namespace {

// Level 4: the name, no server (every printer here is local to the machine) and the attributes.
BOOL GetPrinterInfo4(HANDLE printer, LPBYTE buf, DWORD cbBuf, LPDWORD needed) {
  auto stored = PrinterForLevel2Query(printer, 2, ERROR_INVALID_PRINTER_NAME);
  if (!stored) return FALSE;
  size_t total = sizeof(PRINTER_INFO_4W) + StringBytes(stored->config.name);
  if (!CheckBuffer(static_cast<DWORD>(total), cbBuf, buf, needed)) return FALSE;
  std::memset(buf, 0, total);
  auto* info = reinterpret_cast<PRINTER_INFO_4W*>(buf);
  BYTE* tail = buf + total;
  info->pPrinterName = PackString(tail, stored->config.name);
  info->Attributes = stored->config.attributes;
  return TRUE;
}

}  // namespace

extern "C" BOOL GetPrinterW(HANDLE printer, DWORD level, LPBYTE buf, DWORD cbBuf, LPDWORD needed) {
  if (level == 4) return GetPrinterInfo4(printer, buf, cbBuf, needed);
  auto stored = PrinterForLevel2Query(printer, level, ERROR_INVALID_PRINTER_NAME);
  if (!stored) return FALSE;
  const std::u16string* name = &stored->config.name;
  const auto& c = stored->config;
  std::u16string strings[] = {c.name, platform::Utf8ToUtf16(c.port), c.driverName, c.printProcessor, u"RAW"};
  size_t devmodeSize = (c.defaultDevmode.size() + 7) / 8 * 8;
  size_t total = sizeof(PRINTER_INFO_2W) + devmodeSize;
  for (const auto& s : strings) total += StringBytes(s);
  if (!CheckBuffer(static_cast<DWORD>(total), cbBuf, buf, needed)) return FALSE;
  std::memset(buf, 0, total);
  auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buf);
  BYTE* tail = buf + total;
  info->pPrinterName = PackString(tail, strings[0]);
  info->pPortName = PackString(tail, strings[1]);
  info->pDriverName = PackString(tail, strings[2]);
  info->pPrintProcessor = PackString(tail, strings[3]);
  info->pDatatype = PackString(tail, strings[4]);
  if (!c.defaultDevmode.empty()) {
    BYTE* devmode = buf + sizeof(PRINTER_INFO_2W);
    std::memcpy(devmode, c.defaultDevmode.data(), c.defaultDevmode.size());
    info->pDevMode = reinterpret_cast<LPDEVMODEW>(devmode);
  }
  info->Attributes = c.attributes;
  std::lock_guard g(g_lock);
  info->cJobs = static_cast<DWORD>(std::count_if(g_jobs.begin(), g_jobs.end(), [&](const auto& j) {
    return j.second->printer == *name && j.second->delivery != nullptr;
  }));
  return TRUE;
}

extern "C" BOOL SetPrinterW(HANDLE printer, DWORD level, LPBYTE buf, DWORD) {
  auto name = PrinterNameOf(printer);
  if (!name) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (level != 2 || buf == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buf);
  bool ok = UpdatePrinter(*name, [&](StoredPrinter& stored) {
    if (info->pPrintProcessor != nullptr) stored.config.printProcessor = info->pPrintProcessor;
    if (info->pDevMode != nullptr) {
      const auto* d = reinterpret_cast<const BYTE*>(info->pDevMode);
      stored.config.defaultDevmode.assign(d, d + info->pDevMode->dmSize + info->pDevMode->dmDriverExtra);
    }
    return true;
  });
  if (!ok && GetLastError() != ERROR_INVALID_PRINTER_NAME) SetLastError(ERROR_WRITE_FAULT);
  return ok ? TRUE : FALSE;
}

extern "C" DWORD GetPrinterDataW(HANDLE printer, LPCWSTR valueName, LPDWORD type, LPBYTE data, DWORD size,
                                 LPDWORD needed) {
  auto name = PrinterNameOf(printer);
  if (!name) return ERROR_INVALID_HANDLE;
  if (valueName == nullptr || needed == nullptr) return ERROR_INVALID_PARAMETER;
  auto stored = LoadPrinter(*name);
  if (!stored) return ERROR_INVALID_PRINTER_NAME;
  auto it = stored->data.find(std::u16string(valueName));
  if (it == stored->data.end()) return ERROR_FILE_NOT_FOUND;
  *needed = static_cast<DWORD>(it->second.data.size());
  if (type != nullptr) *type = it->second.type;
  if (data == nullptr || size < it->second.data.size()) return ERROR_MORE_DATA;
  std::memcpy(data, it->second.data.data(), it->second.data.size());
  return ERROR_SUCCESS;
}

extern "C" DWORD SetPrinterDataW(HANDLE printer, LPCWSTR valueName, DWORD type, const BYTE* data, DWORD size) {
  auto name = PrinterNameOf(printer);
  if (!name) return ERROR_INVALID_HANDLE;
  if (valueName == nullptr || *valueName == 0 || (data == nullptr && size > 0)) return ERROR_INVALID_PARAMETER;
  if (type == REG_DWORD && size != 4) return ERROR_INVALID_PARAMETER;
  bool ok = UpdatePrinter(*name, [&](StoredPrinter& stored) {
    stored.data[std::u16string(valueName)] = {type, std::vector<uint8_t>(data, data + size)};
    return true;
  });
  if (ok) return ERROR_SUCCESS;
  return GetLastError() == ERROR_INVALID_PRINTER_NAME ? ERROR_INVALID_PRINTER_NAME : ERROR_WRITE_FAULT;
}

extern "C" DWORD StartDocPrinterW(HANDLE printer, DWORD level, LPBYTE docInfo) {
  std::lock_guard g(g_lock);
  Handle* h = Lookup(printer);
  if (h == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (level != 1 || docInfo == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (h->job && h->job->delivery) {
    SetLastError(ERROR_INVALID_PARAMETER);  // one job at a time per handle
    return 0;
  }
  const auto* doc = reinterpret_cast<const DOC_INFO_1W*>(docInfo);
  // An output named by the document goes instead of the printer's port, as on the real spooler.
  std::unique_ptr<Delivery> delivery;
  if (doc->pOutputFile != nullptr && *doc->pOutputFile != 0) {
    delivery = OpenOutputFile(platform::Utf16ToUtf8(platform::WideField(doc->pOutputFile, 32768)), h->printer);
  } else {
    delivery = OpenDelivery(h->port, h->printer);
  }
  if (!delivery) {
    SetLastError(ERROR_BAD_NETPATH);
    return 0;
  }
  auto job = std::make_shared<Job>();
  job->id = NextJobId();
  if (job->id == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);  // every id of this process is in use
    return 0;
  }
  job->printer = h->printer;
  if (doc->pDocName != nullptr) job->document = doc->pDocName;
  job->delivery = std::move(delivery);
  job->submitted = platform::CurrentLocalTime();
  job->user = platform::CurrentUserName();
  g_jobs[job->id] = job;
  h->job = job;
  CheckCancelAt(*job);
  return job->id;
}

extern "C" BOOL WritePrinter(HANDLE printer, LPCVOID buf, DWORD cbBuf, LPDWORD written) {
  std::lock_guard g(g_lock);
  if (written != nullptr) *written = 0;
  Handle* h = Lookup(printer);
  if (h == nullptr || !h->job || !h->job->delivery) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Job& job = *h->job;
  CheckCancelAt(job);
  if (job.cancelled) {
    SetLastError(ERROR_PRINT_CANCELLED);
    return FALSE;
  }
  if (job.failed) {
    SetLastError(job.error);
    return FALSE;
  }
  if (buf == nullptr && cbBuf > 0) {
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  uint64_t count = cbBuf;
  auto hooks = g_writeHooks.find(job.printer);
  if (hooks != g_writeHooks.end()) {
    if (hooks->second.failAt && job.bytes + count > *hooks->second.failAt) {
      // As a real delivery failure: the job is failed and its output is not kept.
      FailJob(job, ERROR_WRITE_FAULT);
      return FALSE;
    }
    if (hooks->second.shortAt && job.bytes + count > *hooks->second.shortAt) {
      count = job.bytes < *hooks->second.shortAt ? *hooks->second.shortAt - job.bytes : 0;
    }
  }
  if (count > 0 && !job.delivery->Send(static_cast<const uint8_t*>(buf), count)) {
    FailJob(job, job.delivery->Error());
    return FALSE;
  }
  job.bytes += count;
  job.status = (job.status & ~JOB_STATUS_SPOOLING) | JOB_STATUS_PRINTING;
  if (written != nullptr) *written = static_cast<DWORD>(count);
  return TRUE;
}

extern "C" BOOL EndDocPrinter(HANDLE printer) {
  std::lock_guard g(g_lock);
  Handle* h = Lookup(printer);
  if (h == nullptr || !h->job || !h->job->delivery) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Job& job = *h->job;
  bool ok = true;
  if (job.failed) {
    job.delivery->Abandon();
    ok = false;
  } else if (job.cancelled) {
    job.delivery->Abandon();
    job.status = JOB_STATUS_DELETED;
  } else if (job.delivery->Finish()) {
    job.status = JOB_STATUS_PRINTED;
  } else {
    FailJob(job, job.delivery->Error());
    ok = false;
  }
  job.delivery.reset();
  if (!ok) {
    job.status = JOB_STATUS_ERROR;
    SetLastError(job.error);
  }
  return ok ? TRUE : FALSE;
}

extern "C" BOOL AbortPrinter(HANDLE printer) {
  std::lock_guard g(g_lock);
  Handle* h = Lookup(printer);
  if (h == nullptr || !h->job) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  h->job->cancelled = true;
  if (h->job->delivery) {
    h->job->delivery->Abandon();
    h->job->delivery.reset();
  }
  h->job->status = JOB_STATUS_DELETED;
  return TRUE;
}

extern "C" BOOL GetJobW(HANDLE printer, DWORD jobId, DWORD level, LPBYTE buf, DWORD cbBuf, LPDWORD needed) {
  std::lock_guard g(g_lock);
  Handle* h = Lookup(printer);
  if (h == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  auto it = g_jobs.find(jobId);
  if (level != 1 || it == g_jobs.end() || it->second->printer != h->printer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const Job& job = *it->second;
  std::u16string strings[] = {job.printer, u"localhost", job.user, job.document, u"RAW"};
  size_t total = sizeof(JOB_INFO_1W);
  for (const auto& s : strings) total += StringBytes(s);
  if (!CheckBuffer(static_cast<DWORD>(total), cbBuf, buf, needed)) return FALSE;
  std::memset(buf, 0, sizeof(JOB_INFO_1W));
  auto* info = reinterpret_cast<JOB_INFO_1W*>(buf);
  BYTE* tail = buf + total;
  info->JobId = job.id;
  info->pPrinterName = PackString(tail, strings[0]);
  info->pMachineName = PackString(tail, strings[1]);
  info->pUserName = PackString(tail, strings[2]);
  info->pDocument = PackString(tail, strings[3]);
  info->pDatatype = PackString(tail, strings[4]);
  info->Status = job.cancelled ? (job.status | JOB_STATUS_DELETING) : job.status;
  info->Priority = 1;
  info->Submitted = job.submitted;
  return TRUE;
}

namespace platform::hooks {

void FailPrinterWritesAt(const std::u16string& printer, uint64_t byte) {
  std::lock_guard g(g_lock);
  g_writeHooks[printer].failAt = byte;
}

void ShortPrinterWriteAt(const std::u16string& printer, uint64_t byte) {
  std::lock_guard g(g_lock);
  g_writeHooks[printer].shortAt = byte;
}

void CancelJobAt(const std::u16string& printer, uint64_t byte) {
  std::lock_guard g(g_lock);
  g_writeHooks[printer].cancelAt = byte;
}

}  // namespace platform::hooks
