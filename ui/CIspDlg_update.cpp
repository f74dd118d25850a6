// Do ISP: the worker that checks the image against every attached hub, merges
// the configuration and writes each hub, and the timer that mirrors its run.
#include "ui/CIspDlg.h"

#include "files/EepFile.h"
#include "files/FirmwareImage.h"
#include "settings/DebugLog.h"
#include "ui/CIspDlg_internal.h"
#include "ui/win32/resource.h"

using namespace ispdlg;

namespace {

constexpr int kTimerUpdate = 2;
constexpr const char* kNoHubUpdated = "No hub was updated: none of the attached hubs could be identified.";

}  // namespace

int CIspDlg::CheckImageAgainstHubs(ui::WorkerLink& link, unsigned hubs, int imageClass, int& configLength) {
    for (unsigned i = 0; i < hubs; ++i) {
        int type = m_hubType[i];
        int number = static_cast<int>(i) + 1;
        if (m_infoLevel == 0) {
            if (type == CHIP_ID_UNKNOWN) continue;
            if (!ImageFitsHub(imageClass, type)) {
                link.MessageBox(kMismatchedFirmware, kQuillon, kErrorBox);
                m_run.text.Set(kMismatchedFirmware);
                DebugLog("%s\n", kMismatchedFirmware);
                return 0;
            }
        } else {
            std::string refusal;
            std::string status = "Mismatched binary file!";
            switch (type) {
                case CHIP_ID_UNKNOWN: link.SetText(IDC_STATUS, Format("Invalid Hub%d firmware!", number)); continue;
                case CHIP_ID_VX2230_SPI:
                    if (imageClass != 1) refusal = Format("Hub %d is VX710x-10 series hub, Do ISP canceled!", number);
                    break;
                case CHIP_ID_VX2240_SPI:
                case CHIP_ID_VX2240_EEPROM:
                    if (imageClass != 2 && imageClass != 5)
                        refusal = Format("Hub %d is VX710x-21/22 series hub, Do ISP canceled!", number);
                    break;
                case CHIP_ID_VX2210_SPI:
                    if (imageClass != 5 && imageClass != 2) refusal = Format("Hub %d is VX7103, Do ISP canceled!", number);
                    break;
                case CHIP_ID_VX2240_EEPROM_LITE:
                    if (imageClass != 4) {
                        refusal = Format("Hub %d is VX7103 hub  (256 EEPROM), Do ISP canceled!", number);
                    } else if (m_eepLoaded) {
                        refusal = Format("Hub %d is VX7103 hub  (256 EEPROM), Do ISP canceled!", number);
                        status = "Mismatched EEP file!";
                    }
                    break;
                default: break;
            }
            if (!refusal.empty()) {
                link.MessageBox(refusal, kQuillon, kInfoBox);
                link.SetText(IDC_STATUS, status);
                return 0;
            }
        }
        if (type == CHIP_ID_VX2230_SPI) configLength = 512;
        if (type == CHIP_ID_VX2240_SPI || type == CHIP_ID_VX2240_EEPROM || type == CHIP_ID_VX2210_SPI) configLength = 144;
    }
    return 1;
}

void CIspDlg::UpdateWorker(ui::WorkerLink& link, std::vector<uint8_t> image, int imageClass) {
    auto end = [&] {
        m_run.Finish();
        link.Post([this] {
            EnableControls(1, 1);
            FocusOn(IDC_DO_ISP);
        });
    };
    if (image.empty()) {
        link.MessageBox(kDataBufferNull, kQuillon, kErrorBox);
        m_run.text.Set(kDataBufferNull);
        DebugLog("%s", kDataBufferNull);
        return end();
    }
    if (!m_isp.OpenDevice()) {
        link.MessageBox("Open device ERROR!", kQuillon, kErrorBox);
        link.SetText(IDC_STATUS, "Open device ERROR!");
        return end();
    }
    unsigned hubs = 0;
    if (!m_isp.GetHubNumber(&hubs)) {
        link.MessageBox("Get hub number ERROR!", kQuillon, kErrorBox);
        link.SetText(IDC_STATUS, "Get hub number ERROR!");
        return end();
    }
    if (imageClass == -1) {
        link.MessageBox(kCannotDetermineBin, kQuillon, kErrorBox);
        link.SetText(IDC_STATUS, kIncorrectBinaryFormat);
        return end();
    }
    // The hubs attached now, as the detection typed them; at most 8.
    if (hubs > static_cast<unsigned>(kMaxHubs)) hubs = kMaxHubs;
    int configLength = 0;
    if (!CheckImageAgainstHubs(link, hubs, imageClass, configLength)) return end();
    // A class-4 image is the configuration itself: nothing is merged into it.
    if (m_eepLoaded && imageClass != 4) {
        std::string error;
        if (!MergeConfiguration(image, configLength, false, error)) {
            link.MessageBox(error, kQuillon, kErrorBox);
            return end();
        }
    }
    link.Post([this] { EnableControls(0, 1); });
    link.SetTimer(kTimerUpdate, 30);
    bool all = true;
    int written = 0;
    for (unsigned i = 0; i < hubs && all; ++i) {
        if (m_hubType[i] == CHIP_ID_UNKNOWN) continue;
        // Every hub gets the loaded image; each run stamps its own container ID.
        std::vector<uint8_t> run = image;
        all = m_isp.UpdateFirmware(static_cast<int>(i), imageClass, run.data(), static_cast<int>(run.size()),
                                   &m_run.progress, &m_run.text, &m_run.error) != 0;
        if (all) ++written;
    }
    std::string message = m_run.text.Get();
    m_run.Finish();
    link.KillTimer(kTimerUpdate);
    link.SetPos(IDC_PROGRESS, 100);
    // Success means a hub holds the new firmware, not merely that nothing failed.
    if (all && written == 0) {
        all = false;
        message = kNoHubUpdated;
    }
    if (all) {
        link.MessageBox("Firmware update successfully!\nPlease re-plug the updated hub.", kQuillon, kInfoBox);
        link.SetText(IDC_STATUS, "ISP complete");
    } else {
        link.SetText(IDC_STATUS, message);
        link.MessageBox("ISP ERROR!", kQuillon, kErrorBox);
    }
    link.Post([this] {
        EnableControls(1, 1);
        // Do ISP was switched off under the focus; without a focus Enter
        // would end the dialog without the exit processing.
        FocusOn(IDC_DO_ISP);
    });
}

void CIspDlg::OnTimer(int id) {
    if (id != kTimerUpdate || m_console) return;
    ui::UpdateRun::Sample sample;
    if (!m_run.Read(sample)) return;
    Host().SetPos(IDC_PROGRESS, sample.progress < 0 ? 0 : sample.progress);
    SetText(IDC_STATUS, sample.text);
    // Thirty times a second: only the two controls that change, never the
    // whole dialog (that flickers).
    Host().RepaintControls({IDC_PROGRESS, IDC_STATUS});
}
