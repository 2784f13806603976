// Result codes of the compound-file service: 0 for success, the platform's STG_E_ values
// (facility 3, top bit set) for failures. Their message texts live with the system message table
// in platform/framework/SysMessage.h.
#pragma once

#include <cstdint>

namespace zycfb {

using Result = uint32_t;

constexpr Result S_OK = 0;
constexpr Result S_FALSE = 1;
constexpr Result STG_E_INVALIDFUNCTION = 0x80030001;
constexpr Result STG_E_FILENOTFOUND = 0x80030002;
constexpr Result STG_E_PATHNOTFOUND = 0x80030003;
constexpr Result STG_E_TOOMANYOPENFILES = 0x80030004;
constexpr Result STG_E_ACCESSDENIED = 0x80030005;
constexpr Result STG_E_INVALIDHANDLE = 0x80030006;
constexpr Result STG_E_INSUFFICIENTMEMORY = 0x80030008;
constexpr Result STG_E_INVALIDPOINTER = 0x80030009;
constexpr Result STG_E_NOMOREFILES = 0x80030012;
constexpr Result STG_E_DISKISWRITEPROTECTED = 0x80030013;
constexpr Result STG_E_SEEKERROR = 0x80030019;
constexpr Result STG_E_WRITEFAULT = 0x8003001D;
constexpr Result STG_E_READFAULT = 0x8003001E;
constexpr Result STG_E_SHAREVIOLATION = 0x80030020;
constexpr Result STG_E_LOCKVIOLATION = 0x80030021;
constexpr Result STG_E_FILEALREADYEXISTS = 0x80030050;
constexpr Result STG_E_INVALIDPARAMETER = 0x80030057;
constexpr Result STG_E_MEDIUMFULL = 0x80030070;
constexpr Result STG_E_INVALIDHEADER = 0x800300FB;
constexpr Result STG_E_INVALIDNAME = 0x800300FC;
constexpr Result STG_E_UNKNOWN = 0x800300FD;
constexpr Result STG_E_UNIMPLEMENTEDFUNCTION = 0x800300FE;
constexpr Result STG_E_INVALIDFLAG = 0x800300FF;
constexpr Result STG_E_INUSE = 0x80030100;
constexpr Result STG_E_REVERTED = 0x80030102;
constexpr Result STG_E_OLDFORMAT = 0x80030104;
constexpr Result STG_E_OLDDLL = 0x80030105;
constexpr Result STG_E_DOCFILECORRUPT = 0x80030109;
constexpr Result STG_E_DOCFILETOOLARGE = 0x80030111;

inline bool Failed(Result r) { return (r & 0x80000000u) != 0; }

}  // namespace zycfb
