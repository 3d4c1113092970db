// SPDX-License-Identifier: MIT
#pragma once

#include "geometry/FlowSettings.h"
#include "ui/Controls.h"

#include <QGroupBox>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace camber::cp {

/// The pressure window's frame of flow conditions (Frm_flow): Reynolds number in millions
/// (Txt_Re), critical amplification factor (Txt_Ncrit), forced transition x/c of the upper and
/// the lower surface (Txt_XtrU, Txt_XtrL; empty for free transition), boundary layers on or off
/// (Chk_Viscous) and the resolution level 1 to 3 (Opt_Level(0..2)).
///
/// A text is taken when the user ends its editing (Enter or leaving the box). Text the solver
/// must not get (not a number, a Reynolds number not above 0, Ncrit outside 1 to 20, a
/// transition outside 0 to 1) is refused: the box is marked, Lbl_FlowNote says why, and the
/// settings keep the last good value.
class FlowFrame : public QGroupBox {
    Q_OBJECT
public:
    FlowFrame(QWidget* parent, const ui::Twips& at);

    /// Shows settings in the controls, clearing any refusal; does nothing when they are the
    /// settings shown already, so that a refused text stays for the user to mend.
    void show(const FlowSettings& settings);
    /// The settings shown (the last good value of every control).
    const FlowSettings& settings() const { return m_shown; }

signals:
    /// The user changed a flow condition to settings.
    void changed(const camber::FlowSettings& settings);

private:
    void fill(const FlowSettings& settings);
    std::array<QLineEdit*, 4> boxes() const { return {m_re, m_ncrit, m_xtrUpper, m_xtrLower}; }
    void textEdited(QLineEdit* box);
    void accept(const FlowSettings& settings);
    void refuse(QLineEdit* box, const QString& why);
    void unmark(QLineEdit* box);

    QLineEdit* m_re = nullptr;
    QLineEdit* m_ncrit = nullptr;
    QLineEdit* m_xtrUpper = nullptr;
    QLineEdit* m_xtrLower = nullptr;
    QCheckBox* m_viscous = nullptr;
    ui::OptionGroup m_level;
    QLabel* m_note = nullptr;
    FlowSettings m_shown;
    bool m_showing = false;
};

} // namespace camber::cp
