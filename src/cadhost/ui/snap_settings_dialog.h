// OSNAP's dialog (the running object snaps, whether they apply, the aperture) and where those
// settings are kept between runs.
#pragma once

#include "cadhost/commandline/snap_settings.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QSpinBox;

namespace vexilo::cadhost {

/// The object snap settings dialog: "Object snap on", one check box per snap kind with its
/// marker, "Select All" and "Clear All", and the aperture size in pixels.
class SnapSettingsDialog : public QDialog {
    Q_OBJECT
public:
    /// The kinds in the order of the check boxes.
    static constexpr std::array<SnapKind, 8> kKinds{
        SnapKind::Endpoint, SnapKind::Midpoint,     SnapKind::Center,        SnapKind::Node,
        SnapKind::Quadrant, SnapKind::Intersection, SnapKind::Perpendicular, SnapKind::Nearest};

    explicit SnapSettingsDialog(const SnapSettings& settings, QWidget* parent = nullptr);

    /// The settings as the dialog shows them now.
    SnapSettings settings() const;
    /// The check box of a kind.
    QCheckBox* modeBox(SnapKind kind) const;
    QCheckBox* enabledBox() const { return m_enabled; }
    QSpinBox* apertureBox() const { return m_aperture; }

private:
    QCheckBox* m_enabled = nullptr;
    std::array<QCheckBox*, kKinds.size()> m_modes{};
    QSpinBox* m_aperture = nullptr;
};

/// The running snaps kept from the last run (the user's QSettings of vexilo-cad), or the
/// defaults where nothing or nothing readable is kept; an aperture out of range is brought
/// into it.
SnapSettings loadSnapSettings();
/// Keeps the running snaps for the next run.
void saveSnapSettings(const SnapSettings& settings);

} // namespace vexilo::cadhost
