// tessaro-cli: backups of a hub's store and the restore subcommand.
#include "tools/cli/backup.h"

#include <cctype>

#include "files/FilePort.h"
#include "files/FirmwareImage.h"
#include "tools/cli/cli.h"
#include "tools/cli/output.h"
#include "tools/cli/record.h"

namespace cli {

std::string BackupFileName(const std::string& identityText, std::time_t when) {
    std::string name;
    for (char c : identityText)
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-') name.push_back(c);
    if (name.empty()) name = "hub";
    return name + "_" + UtcText(when, "%Y%m%dT%H%M%SZ") + ".rom";
}

int StoreClassOfType(int hubType) {
    switch (hubType) {
        case CHIP_ID_VX2230_SPI: return 1;
        case CHIP_ID_VX2240_SPI:
        case CHIP_ID_VX2240_EEPROM: return 2;
        case CHIP_ID_VX2240_EEPROM_LITE: return 4;
        case CHIP_ID_VX2210_SPI: return 5;
        default: return 0;
    }
}

int ReadStore(CHubIsp& isp, int hubIndex, int hubType, std::vector<uint8_t>& store, std::string& error) {
    const int size = StoreSize(hubType);
    if (size <= 0) {
        error = "no store size for hub type " + std::to_string(hubType);
        return 0;
    }
    store.assign(static_cast<size_t>(size), 0);
    if (IsSpiHubType(hubType)) isp.LoadFlashInfo();
    if (!isp.ReadData(store.data(), size, 0, static_cast<unsigned>(hubIndex))) {
        error = isp.m_lasterror;
        store.clear();
        return 0;
    }
    return 1;
}

bool SaveBackup(const std::string& folder, const std::string& identityText, std::time_t when,
                const std::vector<uint8_t>& store, std::string& path, std::string& error) {
    path = folder.empty() ? BackupFileName(identityText, when) : folder + "\\" + BackupFileName(identityText, when);
    uint32_t code = 0;
    if (WriteWholeFile(path, store.data(), store.size(), code)) return true;
    error = "cannot save the backup " + path + ": " + SystemErrorText(code);
    return false;
}

int ProgramStore(CHubIsp& isp, int hubIndex, int hubType, const std::vector<uint8_t>& store, ProgressByte* progress,
                 std::string& error) {
    const int cls = StoreClassOfType(hubType);
    if (!cls || static_cast<int>(store.size()) != StoreSize(hubType)) {
        error = "a store of " + std::to_string(store.size()) + " bytes does not fit a " + HubTypeText(hubType) +
                " hub (" + std::to_string(StoreSize(hubType)) + " bytes)";
        return 0;
    }
    std::vector<uint8_t> bytes = store;
    SharedText status;
    ErrorFlag flag{0};
    isp.m_restoretype = hubType;
    const int ok = isp.UpdateFirmware(hubIndex, cls, bytes.data(), static_cast<int>(bytes.size()), progress, &status,
                                      &flag);
    isp.m_restoretype = CHIP_ID_UNKNOWN;
    if (!ok) error = isp.m_lasterror;
    return ok;
}

namespace {

// restore FILE --hub N: a backup programmed back by hand.
int Restore(Args& args) {
    long hub = 0, typeGiven = CHIP_ID_UNKNOWN;
    if (!args.Number("--hub", hub, true) || !args.Number("--type", typeGiven, false)) return 1;
    if (args.Rest().size() != 1) return Fail("usage: restore FILE --hub N");
    const std::string file = args.Rest()[0];
    std::vector<uint8_t> store;
    uint32_t code = 0;
    if (!ReadWholeFile(file, store, code)) return Fail("cannot read " + file + ": " + SystemErrorText(code));
    QuietIsp isp;
    // The hub identified is the hub written.
    CHubIsp::OperationScope sameHub(isp);
    // A store that was left half written may have lost the markers that
    // tell its type: --type names it then.
    const int type = typeGiven != CHIP_ID_UNKNOWN ? static_cast<int>(typeGiven) : isp.GetChipType(static_cast<int>(hub), 1);
    if (type == CHIP_ID_UNKNOWN) return Fail(isp.m_lasterror);
    if (!StoreClassOfType(type)) return Fail("no hub type " + std::to_string(type));
    Result()["hub"] = hub;
    Result()["file"] = file;
    Result()["hub_type"] = type;
    Result()["bytes"] = store.size();
    std::string error;
    if (!ProgramStore(isp, static_cast<int>(hub), type, store, nullptr, error)) return Fail(error);
    Say("hub %ld: %s restored from %s and verified\n", hub, HubTypeText(type), file.c_str());
    return 0;
}
TESSARO_CLI_COMMAND("restore", "restore FILE --hub N [--type T]  program a store backup back into hub N and verify it",
                    Restore);

}  // namespace
}  // namespace cli
