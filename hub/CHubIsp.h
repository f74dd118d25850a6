// CHubIsp: the one object that talks to hubs.  It holds the session with the
// filter driver, the device table of the latest enumeration, the selected hub,
// the per-hub identification results, the flash part table and the ISP
// settings.  Every engine operation opens its own session, works and closes it
// again; the operations return 1 for success and 0 for failure and leave the
// reason in m_lasterror.
//
// The members are implemented across hub/ (session, enumeration, transport,
// identity), isp/ (identification, store primitives, update) and files/
// (image classification, configuration format check).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ports.h"
#include "settings/CIniFile.h"

// Hub types as chip identification yields them.
enum : int {
    CHIP_ID_UNKNOWN = -1,
    CHIP_ID_VX2230_SPI = 1,
    CHIP_ID_VX2240_SPI = 2,
    CHIP_ID_VX2240_EEPROM = 3,
    CHIP_ID_VX2240_EEPROM_LITE = 4,
    CHIP_ID_VX2210_SPI = 5,
};

constexpr int kMaxHubs = 8;            // per-hub members hold 8 entries
constexpr int kMaxCandidates = 32;     // hub functions held by one enumeration
constexpr int kMaxFlashParts = 64;     // rows of the flash part table
constexpr int kFlashInfoColumns = 18;  // bytes of one row

// Filter driver control codes.
constexpr uint32_t VX_IOCTL_GET_DEVICE_NUM = 0x00222000;
constexpr uint32_t VX_IOCTL_ENUM_DEVICES = 0x00222004;
constexpr uint32_t VX_IOCTL_USB_REQUEST = 0x00222008;
constexpr uint32_t VX_IOCTL_GET_INSTANCE_ID = 0x00222024;
constexpr uint32_t VX_IOCTL_GET_CONTAINER_ID = 0x0022202C;

constexpr const char* kFilterDriverName = "\\\\.\\vxusbflt";

#pragma pack(push, 1)
// One hub as the driver reports it (15 bytes, little-endian, packed).
struct HubRecord {
    uint32_t handle;
    uint16_t devType;  // 0 not the maker's, 1 hub, 2 high-speed hub function
    uint16_t idVendor;
    uint16_t idProduct;
    uint16_t bcdDevice;
    uint16_t bcdUSB;
    uint8_t reserved;
};

// Header of a vendor control transfer carried by VX_IOCTL_USB_REQUEST; the
// data follow at offset 16.
struct UsbRequestHeader {
    uint32_t serialNo;
    uint32_t handle;
    uint8_t bmRequestType;
    uint8_t bRequest;
    uint16_t wValue;
    uint16_t wIndex;
    uint16_t wLength;
};
#pragma pack(pop)
static_assert(sizeof(HubRecord) == 15, "hub record is 15 packed bytes");
static_assert(sizeof(UsbRequestHeader) == 16, "request header is 16 bytes");

constexpr int kDeviceTableHeader = 8;    // SerialNo, count
constexpr int kContainerRecordSize = 52; // u32 0, u32 handle, u32 40, 40 bytes text
constexpr int kContainerIdSize = 40;
constexpr int kIdentityRecordSize = 524; // u32 0, u32 handle, u32 512, 512 bytes text
constexpr int kInstanceIdSize = 512;

// A request record: the header and wLength data bytes in one zero-filled
// buffer of a caller-chosen size (at least 16 + wLength).
class RequestRecord {
public:
    explicit RequestRecord(int size);
    uint8_t* Bytes() { return m_bytes.data(); }
    int Size() const { return static_cast<int>(m_bytes.size()); }
    void Set(uint8_t bmRequestType, uint8_t bRequest, uint16_t wValue, uint16_t wIndex, uint16_t wLength);
    UsbRequestHeader Header() const;
    uint8_t* Data() { return m_bytes.data() + sizeof(UsbRequestHeader); }
    int DataRoom() const { return Size() - static_cast<int>(sizeof(UsbRequestHeader)); }

private:
    std::vector<uint8_t> m_bytes;
};

// Progress, error flag and status text an update shares with the dialog's
// timer: written by the worker, read by the timer thread.
using ProgressByte = std::atomic<uint8_t>;
using ErrorFlag = std::atomic<int>;
class SharedText {
public:
    void Set(const std::string& text) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_text = text;
    }
    std::string Get() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_text;
    }

private:
    mutable std::mutex m_mutex;
    std::string m_text;
};

// Hub types whose store is an SPI flash part.
inline bool IsSpiHubType(int hubType) {
    return hubType == CHIP_ID_VX2230_SPI || hubType == CHIP_ID_VX2240_SPI || hubType == CHIP_ID_VX2210_SPI;
}

// "CHIP_ID_VX2240_SPI" and the like, as the diagnostic lines name the types.
const char* HubTypeName(int hubType);

// 16-bit byte sum of a store image (modulo 0x10000).
uint16_t CalcChecksum(const uint8_t* data, int length);

class CHubIsp {
public:
    CHubIsp();
    virtual ~CHubIsp();
    CHubIsp(const CHubIsp&) = delete;
    CHubIsp& operator=(const CHubIsp&) = delete;

    // --- driver session and enumeration -----------------------------------
    int OpenDriver();
    int OpenDevice();
    void CloseDevice();
    int EnumerateHubs();
    int GetDeviceNumber(int* count);
    int GetHubNumber(unsigned* count);
    int GetHubInfo(HubRecord* out, unsigned index);
    int SetHubIndex(int index);
    int GetHubIndex() const { return m_hubindex; }

    // --- vendor request transport -------------------------------------------
    int SendUsbRequest(uint8_t* rec, int size);
    int SendUsbRequest(RequestRecord& rec) { return SendUsbRequest(rec.Bytes(), rec.Size()); }

    // --- hub identity and device parameters ---------------------------------
    int GetHubRegistryPaths(int hubIndex, std::vector<std::string>* paths);
    int SetSelectiveSuspend(int hubIndex, std::vector<std::string>* paths, uint32_t value);
    int EnableHub(int hubIndex, int enable);
    // Hubs this object disabled and could not enable again, even after its
    // retries (their record copies).  A front end calls EnableLeftDisabled at
    // the end of every run: each is enabled once more and one report line
    // per hub is added; 1 when none is left disabled.
    std::vector<HubRecord> m_leftDisabled;
    int EnableLeftDisabled(std::vector<std::string>* report);

    // --- chip identification ------------------------------------------------
    int GetChipType(int hubIndex, int enterIsp);
    int LoadFlashInfo();
    int GetFlashIndex(uint8_t* flashIndex, int hubIndex);
    int LoadMaskVersions();
    uint8_t GetDataSize(uint8_t flashIndex);
    uint8_t GetFlashInfo(uint8_t flashIndex, uint8_t column);
    int IsMaskRom(int hubIndex);

    // --- store primitives -----------------------------------------------------
    int EraseFlash(int hubIndex, ProgressByte* progress);
    int WriteFlashStatus(uint8_t flashIndex);
    int EraseEeprom(int hubIndex);
    int ReadData(uint8_t* buffer, int length, int mode, unsigned hubIndex);
    int SoftwareReset(int hubIndex);

    // --- firmware update --------------------------------------------------------
    int UpdateFirmware(int hubIndex, int imageClass, uint8_t* data, int length, ProgressByte* progress,
                       SharedText* status, ErrorFlag* errorFlag);

    // --- files ----------------------------------------------------------------------
    // Image class (-1, 1, 2, 4, 5) from the image's bytes.
    static int ClassifyImage(const uint8_t* data, int length);
    // A configuration block of 144, 256 or 512 bytes starting with 0x55 or 0xAA.
    bool CheckEepFormat(const uint8_t* data, int size);

    // --- read-only views for the owners (dialogs, console, tools) --------------
    int PairingMode() const { return m_uuuisp; }
    int SupportsHighSpeedHub() const { return m_supportuuhub; }
    int IspEntrySelector() const { return m_enterisp; }
    int EraseDelay() const { return m_erasedelay; }
    int WriteDelay() const { return m_writedelay; }
    int FlashCount() const { return m_flashcount; }
    const HubRecord& HubRecordCopy(int hubIndex) const { return m_hubrecord[hubIndex & 7]; }
    const uint8_t* ContainerId() const { return m_containerid; }

    // What tells one hub from another in the driver's list: its record
    // (handle, type, IDs, revisions) and its container ID.
    struct HubIdentity {
        HubRecord record;
        uint8_t containerId[kContainerIdSize];
    };
    // An engine operation reopens the session several times, and the driver
    // numbers the hubs afresh each time: a hub unplugged meanwhile moves every
    // later hub down one place.  The outermost operation's scope remembers the
    // hub it found first at each index; every later selection in the same
    // operation must find that same hub there, or the operation stops before
    // it sends anything to the other one.  A front end that identifies the
    // hubs first and updates them later holds one scope over both, so that
    // an update never reaches a hub that took another's place meanwhile.
    class OperationScope;

    // The identity the latest enumeration lists at an index; false when the
    // index lies outside it.
    bool IdentityAt(int hubIndex, HubIdentity& out) const { return CurrentIdentity(hubIndex, out); }
    // Inside an operation scope: the hub an index stands for is this one,
    // found earlier by another session (a gang run's coordinator), instead of
    // whatever the first selection finds there.
    void PinHub(int hubIndex, const HubIdentity& identity);

    std::string m_lasterror;
    int m_quiet = 0;
    // A pinned hub is looked for in the whole list at every selection: when
    // another hub left the bus and the list closed up behind it, the
    // operation follows its own hub to its new place.  Off: the index must
    // still hold that hub.  Either way, nothing is sent to any other hub.
    bool m_followpin = false;
    // A hub type (not CHIP_ID_UNKNOWN): UpdateFirmware writes the caller's
    // store image byte for byte (a backup going back) into a hub of this
    // type, identified before its store was touched.  The hub is not
    // identified again (a half-written store has lost the markers that tell
    // its type), no new container ID and no checksum of its own are put in;
    // the image must fill the store of its class.
    int m_restoretype = CHIP_ID_UNKNOWN;
    // Whether the latest UpdateFirmware reached the store: its erase or its
    // first write was sent.  A failure before that left the store as it was.
    bool StoreTouched() const { return m_storetouched; }

private:
    // Message box with the caption "ISP ERROR", only while m_quiet is 0.
    void Box(const std::string& text);
    // A failure: its text in m_lasterror and a diagnostic line (the same
    // text, or the one given); always 0.
    int Fail(const std::string& error);
    int Fail(const std::string& error, const char* log);
    // The session's handle and device table are there; otherwise the
    // caller's own diagnostic line for what is missing.
    bool SessionReady(const char* noHandle, const char* noTable) const;
    // Sends a request, and once more after 20 ms when it fails.
    int SendWithRetry(RequestRecord& rec);
    bool HubIndexValid(int hubIndex) const { return static_cast<unsigned>(hubIndex) < kMaxHubs; }

    // SetHubIndex, then the identity check; m_wronghub tells why it failed.
    int SelectHub(int hubIndex);
    // The failure text after a failed selection or identification: the
    // identity message when the hub changed, the caller's own text otherwise.
    std::string SelectError(const char* indexError) const { return m_wronghub ? m_lasterror : indexError; }
    bool CurrentIdentity(int hubIndex, HubIdentity& out) const;

    int m_uuuisp = 0;
    int m_supportuuhub = 0;
    CIniFile m_ini;
    int m_hubindex = 0;
    int m_flashcount = 0;
    uint8_t m_flashinfo[kMaxFlashParts][kFlashInfoColumns] = {};
    HubRecord m_hubrecord[kMaxHubs] = {};
    uint8_t m_containerid[32] = {};
    tessaro::Handle m_driver = tessaro::kInvalidHandle;
    std::vector<uint8_t> m_devtable;  // empty: no table
    int m_maskrom[kMaxHubs] = {};
    int m_enterisp = 2;
    int m_erasedelay = 0;
    int m_writedelay = 0;
    std::vector<std::string> m_maskversions;
    std::vector<uint8_t> m_devcontainers;  // container ID of each table record, 40 bytes each
    int m_opdepth = 0;
    bool m_pinned[kMaxHubs] = {};
    HubIdentity m_pin[kMaxHubs] = {};
    bool m_wronghub = false;
    int m_enumretries = 0;         // enumerations begun again because a hub left meanwhile
    bool m_storetouched = false;   // StoreTouched()
};

// Opens an engine operation: the outermost one forgets the hubs an earlier
// operation found; nested ones (an update's erase, an erase's read) share it.
class CHubIsp::OperationScope {
public:
    explicit OperationScope(CHubIsp& isp) : m_isp(isp) {
        if (m_isp.m_opdepth++ == 0) {
            for (bool& pinned : m_isp.m_pinned) pinned = false;
            m_isp.m_wronghub = false;
        }
    }
    ~OperationScope() { --m_isp.m_opdepth; }
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;

private:
    CHubIsp& m_isp;
};
