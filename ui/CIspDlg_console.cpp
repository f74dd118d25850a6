// The console mode's engine: its own hub detection, each hub's information
// and stored version, and the per-hub update.
#include "ui/CIspDlg.h"

#include "files/StoreFiles.h"
#include "settings/DebugLog.h"
#include "ui/CIspDlg_internal.h"

using namespace ispdlg;

int CIspDlg::ConsoleHubCount(unsigned* count) {
    std::string iniPath;
    if (!m_ini.FindIniFile(iniPath)) {
        m_run.text.Set("Cannot find INI file for ISP tool! Check if it is placed with the tool.");
        return 0;
    }
    m_ini.SetFileName(iniPath);
    m_isp.m_quiet = 1;
    OsCheck os = CheckOs(true);
    if (!os.pass) {
        m_run.text.Set(os.text);
        return 0;
    }
    if (!m_isp.OpenDevice()) {
        m_run.text.Set("Device or driver is not found!");
        return 0;
    }
    unsigned hubs = 0;
    if (!m_isp.GetHubNumber(&hubs)) {
        m_run.text.Set("Get hub number ERROR!");
        return 0;
    }
    m_hubCount = hubs;
    for (int& t : m_hubType) t = CHIP_ID_UNKNOWN;
    if (!SwitchSelectiveSuspendOff(nullptr)) return 0;
    if (count) *count = hubs;
    return 1;
}

int CIspDlg::ConsoleHubInfo(int hubIndex, HubRecord* record) {
    if (!m_isp.OpenDevice()) {
        m_run.text.Set(m_isp.m_lasterror);
        return 0;
    }
    int ok = m_isp.GetHubInfo(record, static_cast<unsigned>(hubIndex));
    if (!ok) m_run.text.Set(m_isp.m_lasterror.empty() ? "Get hub info ERROR!" : m_isp.m_lasterror);
    m_isp.CloseDevice();
    return ok;
}

int CIspDlg::ConsoleFirmwareVersion(int hubIndex, uint16_t* version) {
    int type = HubType(hubIndex);
    int size = ConfigReadSize(type);
    std::vector<uint8_t> block(static_cast<size_t>(size), 0);
    if (IsFlashType(type)) m_isp.LoadFlashInfo();
    if (!m_isp.ReadData(block.data(), size, 1, static_cast<unsigned>(hubIndex))) {
        m_run.text.Set(m_isp.m_lasterror);
        return 0;
    }
    StoreVersion v = StoreVersionFromBlock(block.data(), size);
    if (static_cast<unsigned>(hubIndex) < kMaxHubs) m_masked[hubIndex] = v.masked ? 1 : 0;
    if (version) *version = v.value;
    return 1;
}

int CIspDlg::UpdateHub(int hubIndex) {
    if (static_cast<unsigned>(hubIndex) >= static_cast<unsigned>(kMaxHubs)) {
        m_run.text.Set(Format("Exceed the maximum hub number! Quillon only support %d hub(s).", kMaxHubs));
        return 0;
    }
    int number = hubIndex + 1;
    int type = m_hubType[hubIndex];
    int configLength = 0;
    switch (type) {
        case CHIP_ID_UNKNOWN:
            m_run.text.Set(Format("Invalid Hub%d firmware!", number));
            return 0;
        case CHIP_ID_VX2230_SPI:
            if (m_imageClass != 1) {
                m_run.text.Set(Format("Hub %d is VX7100, Do ISP canceled!", number));
                return 0;
            }
            configLength = 512;
            break;
        case CHIP_ID_VX2240_SPI:
        case CHIP_ID_VX2240_EEPROM:
        case CHIP_ID_VX2210_SPI:
            if ((type == CHIP_ID_VX2210_SPI && m_imageClass != 5) || (type != CHIP_ID_VX2210_SPI && m_imageClass != 2)) {
                m_run.text.Set(Format("Hub %d is VX7101, Do ISP canceled!", number));
                return 0;
            }
            configLength = 144;
            break;
        case CHIP_ID_VX2240_EEPROM_LITE:
            if (m_imageClass != 4) {
                m_run.text.Set(Format("Hub %d is VX7101 (EEPROM), Do ISP canceled!", number));
                return 0;
            }
            if (m_eepLoaded) {
                m_run.text.Set(Format("Hub %d is VX7101 (EEPROM), Load EEP file failed!", number));
                return 0;
            }
            break;
        default:
            m_run.text.Set(Format("Invalid Hub%d firmware!", number));
            return 0;
    }
    if (!m_imageLoaded || m_image.empty()) {
        m_run.text.Set("Data buffer is null!");
        return 0;
    }
    // The update works on a copy: what a run merges and stamps never changes
    // the loaded image of the next run.
    std::vector<uint8_t> image = m_image;
    if (m_eepLoaded) {
        std::string error;
        if (!MergeConfiguration(image, configLength, true, error)) {
            m_run.text.Set(error);
            return 0;
        }
    }
    m_run.Reset();
    return m_isp.UpdateFirmware(hubIndex, m_imageClass, image.data(), static_cast<int>(image.size()), &m_run.progress,
                                &m_run.text, &m_run.error);
}
