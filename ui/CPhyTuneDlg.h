// CPhyTuneDlg: the PHY tuning dialog of hub 0 in its VX2210 form (template
// 142, per-port registers chosen by the port list) or its VX2240 form
// (template 143, global registers only).  Every hub access is deferred by a
// one-shot 800 ms timer (1 read, 2 save, 3 one register); the controls stay
// disabled from the arming of a timer to the end of its operation, so only
// one is ever armed.
#pragma once

#include <cstdint>
#include <string>

#include "hub/CHubIsp.h"
#include "ui/toolkit/dialog.h"

namespace phytune {

enum class Kind { ReadOnly, Edit, Check, List };

// One register of a form.
struct Register {
    uint8_t address;
    bool perPort;         // wIndex = port * 0x100 + address
    bool downstreamOnly;  // not read for the upstream port
    bool readOnly;
    const char* name;     // in "Read NAME ERROR!" and "Write NAME ERROR!"
    uint8_t fixed;        // bits always written as 1
    uint8_t keep;         // bits written back as the last read left them
    uint8_t fresh;        // bits taken from a read made just before the write
};

// One control of a form and the bits it holds.
struct Field {
    int id;
    Kind kind;
    uint8_t address;
    int shift;
    int width;                // bits
    int max;                  // edits: the highest value accepted
    const char* rangeName;    // edits: the name in the range warning
    int digits;               // edits: characters accepted
    const char* tip;          // null: none
};

struct Form {
    int templateId;
    const Register* registers;
    int registerCount;
    const Field* fields;
    int fieldCount;
    bool ports;  // the port list chooses the port (VX2210)
};

const Form& Vx2210Form();
const Form& Vx2240Form();
// The form for a hub type: 5 VX2210, 2 3 4 VX2240, otherwise null.
const Form* FormForHubType(int hubType);

// The range warning of a field ("Out of range warning! ...").
std::string RangeWarning(const Field& f);
// Register value from its fields' values, the last read and a fresh read.
uint8_t Pack(const Form& form, const Register& r, const int* fieldValues, uint8_t lastRead, uint8_t freshRead);

}  // namespace phytune

class CPhyTuneDlg : public ui::Dialog {
public:
    enum Timer { kReadTimer = 1, kSaveTimer = 2, kOneTimer = 3 };
    static constexpr unsigned kDelayMs = 800;

    explicit CPhyTuneDlg(const phytune::Form& form);
    ~CPhyTuneDlg() override;

    // Reads every register of the form (for the chosen port) into the
    // controls; 1 success, 0 failure (box, log, red status).
    int ReadPhyRegisters();
    // Writes the register at address, or with 0 every writable register in
    // table order, stopping at the first failure.
    int WritePhyRegisters(int address);

    int Port() const { return m_port; }

protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int code) override;
    void OnTimer(int id) override;
    void OnOK() override;

private:
    enum class Look { Busy, Failed, Done };
    void ShowLook(const std::string& text, Look look);
    void EnableControls(bool enable);
    void Arm(int timer, const char* text);
    void StartRead() { Arm(kReadTimer, "Reading data..."); }
    void RelabelGroups();
    // The range check; false after the warning (the field holds "0").
    bool Validate(int fieldIndex);
    int FieldIndex(int id) const;
    int FieldValue(int fieldIndex) const;
    void ShowField(int fieldIndex, uint8_t registerValue);
    bool Prepare();
    bool Transfer(bool write, uint16_t wIndex, uint8_t& value);
    uint16_t Index(const phytune::Register& r) const;
    const phytune::Register* FindRegister(int address) const;
    bool WriteOne(const phytune::Register& r);
    void Fail(const std::string& text);

    const phytune::Form& m_form;
    CHubIsp m_isp;
    int m_port = 1;
    int m_pending = 0;       // register timer 3 writes
    bool m_boxUp = false;    // an "Input ERROR" box is shown
    uint8_t m_last[5][256] = {};  // last value read, per port and register
};

// The main dialog's PHY Setting: the tuning dialog of hub 0's type, modal;
// nothing for a type without one.
void RunPhyTuning(ui::Dialog& owner, int hubType);
