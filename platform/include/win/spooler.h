// Spooler calls: printers, their driver and data, and the jobs whose bytes reach the device.
#pragma once

#include "win/base.h"
#include "win/devmode.h"

using ACCESS_MASK = DWORD;

constexpr ACCESS_MASK PRINTER_ACCESS_USE = 0x00000008;
constexpr ACCESS_MASK PRINTER_ACCESS_ADMINISTER = 0x00000004;
constexpr ACCESS_MASK PRINTER_ALL_ACCESS = 0x000F000C;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

struct PRINTER_DEFAULTSW {
  LPWSTR pDatatype;
  LPDEVMODEW pDevMode;
  ACCESS_MASK DesiredAccess;
};

struct DRIVER_INFO_2W {
  DWORD cVersion;
  LPWSTR pName;
  LPWSTR pEnvironment;
  LPWSTR pDriverPath;
  LPWSTR pDataFile;
  LPWSTR pConfigFile;
};

struct PRINTER_INFO_2W {
  LPWSTR pServerName;
  LPWSTR pPrinterName;
  LPWSTR pShareName;
  LPWSTR pPortName;
  LPWSTR pDriverName;
  LPWSTR pComment;
  LPWSTR pLocation;
  LPDEVMODEW pDevMode;
  LPWSTR pSepFile;
  LPWSTR pPrintProcessor;
  LPWSTR pDatatype;
  LPWSTR pParameters;
  void* pSecurityDescriptor;
  DWORD Attributes;
  DWORD Priority;
  DWORD DefaultPriority;
  DWORD StartTime;
  DWORD UntilTime;
  DWORD Status;
  DWORD cJobs;
  DWORD AveragePPM;
};

struct PRINTER_INFO_4W {
  LPWSTR pPrinterName;
  LPWSTR pServerName;
  DWORD Attributes;
};

constexpr DWORD PRINTER_ATTRIBUTE_QUEUED = 0x00000001;
constexpr DWORD PRINTER_ATTRIBUTE_DIRECT = 0x00000002;
constexpr DWORD PRINTER_ATTRIBUTE_DEFAULT = 0x00000004;
constexpr DWORD PRINTER_ATTRIBUTE_SHARED = 0x00000008;
constexpr DWORD PRINTER_ATTRIBUTE_NETWORK = 0x00000010;
constexpr DWORD PRINTER_ATTRIBUTE_HIDDEN = 0x00000020;
constexpr DWORD PRINTER_ATTRIBUTE_LOCAL = 0x00000040;

struct DOC_INFO_1W {
  LPWSTR pDocName;
  LPWSTR pOutputFile;
  LPWSTR pDatatype;
};

struct JOB_INFO_1W {
  DWORD JobId;
  LPWSTR pPrinterName;
  LPWSTR pMachineName;
  LPWSTR pUserName;
  LPWSTR pDocument;
  LPWSTR pDatatype;
  LPWSTR pStatus;
  DWORD Status;
  DWORD Priority;
  DWORD Position;
  DWORD TotalPages;
  DWORD PagesPrinted;
  SYSTEMTIME Submitted;
};

constexpr DWORD JOB_STATUS_PAUSED = 0x00000001;
constexpr DWORD JOB_STATUS_ERROR = 0x00000002;
constexpr DWORD JOB_STATUS_DELETING = 0x00000004;
constexpr DWORD JOB_STATUS_SPOOLING = 0x00000008;
constexpr DWORD JOB_STATUS_PRINTING = 0x00000010;
constexpr DWORD JOB_STATUS_DELETED = 0x00000100;
constexpr DWORD JOB_STATUS_PRINTED = 0x00000080;

extern "C" {
// Installs a driver by its name (level 2: pName, pDriverPath, pConfigFile); installing a name again
// replaces its files.
PLATFORM_API BOOL WINAPI AddPrinterDriverW(LPWSTR server, DWORD level, LPBYTE driverInfo);
// Level 2: pPrinterName, pPortName and pDriverName (an installed driver) are needed; pPrintProcessor
// and pDevMode are kept when given. The driver's interface library then receives
// PRINTER_EVENT_INITIALIZE. Returns an open handle (PRINTER_ALL_ACCESS), null on failure: an
// existing name gives ERROR_PRINTER_ALREADY_EXISTS, a driver not installed
// ERROR_UNKNOWN_PRINTER_DRIVER.
PLATFORM_API HANDLE WINAPI AddPrinterW(LPWSTR server, DWORD level, LPBYTE printerInfo);
// The interface library receives PRINTER_EVENT_DELETE first; the handle stays open, to be closed.
PLATFORM_API BOOL WINAPI DeletePrinter(HANDLE printer);
PLATFORM_API BOOL WINAPI OpenPrinterW(LPCWSTR printerName, HANDLE* printer, const PRINTER_DEFAULTSW* defaults);
PLATFORM_API BOOL WINAPI ClosePrinter(HANDLE printer);
// Level 2 only. With too small a buffer: FALSE, ERROR_INSUFFICIENT_BUFFER and *needed set.
PLATFORM_API BOOL WINAPI GetPrinterDriverW(HANDLE printer, LPCWSTR environment, DWORD level, LPBYTE driverInfo,
                                           DWORD cbBuf, LPDWORD needed);
// Levels 2 and 4.
PLATFORM_API BOOL WINAPI GetPrinterW(HANDLE printer, DWORD level, LPBYTE info, DWORD cbBuf, LPDWORD needed);
// Level 2: only pPrintProcessor and pDevMode are applied.
PLATFORM_API BOOL WINAPI SetPrinterW(HANDLE printer, DWORD level, LPBYTE info, DWORD command);
// Results are error codes: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_MORE_DATA, ERROR_INVALID_HANDLE.
PLATFORM_API DWORD WINAPI GetPrinterDataW(HANDLE printer, LPCWSTR valueName, LPDWORD type, LPBYTE data, DWORD size,
                                          LPDWORD needed);
PLATFORM_API DWORD WINAPI SetPrinterDataW(HANDLE printer, LPCWSTR valueName, DWORD type, const BYTE* data,
                                          DWORD size);
// Starts a job on the printer's port; returns its id, 0 on failure.
PLATFORM_API DWORD WINAPI StartDocPrinterW(HANDLE printer, DWORD level, LPBYTE docInfo);
PLATFORM_API BOOL WINAPI WritePrinter(HANDLE printer, LPCVOID buf, DWORD cbBuf, LPDWORD written);
PLATFORM_API BOOL WINAPI EndDocPrinter(HANDLE printer);
PLATFORM_API BOOL WINAPI AbortPrinter(HANDLE printer);
// Level 1 only.
PLATFORM_API BOOL WINAPI GetJobW(HANDLE printer, DWORD jobId, DWORD level, LPBYTE job, DWORD cbBuf, LPDWORD needed);

// Served by the built-in module "spoolss.dll" (LoadLibraryW, GetProcAddress), as the interface
// library reaches them: the calling thread takes the spooler's own identity and back.
using PFN_RevertToPrinterSelf = HANDLE(WINAPI*)();
using PFN_ImpersonatePrinterClient = BOOL(WINAPI*)(HANDLE token);
}
