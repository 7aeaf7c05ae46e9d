// The object snap settings dialog and the QSettings keys of the running snaps.
#include "cadhost/ui/snap_settings_dialog.h"

#include "cadhost/ui/drawing_view.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace vexilo::cadhost {

namespace {

QSettings userSettings() {
    return QSettings(QSettings::UserScope, QStringLiteral("vexilo"), QStringLiteral("vexilo-cad"));
}

const QString kModesKey = QStringLiteral("osnap/modes");
const QString kEnabledKey = QStringLiteral("osnap/on");
const QString kApertureKey = QStringLiteral("osnap/aperture");

// The marker as the view draws it, on the dialog's own background.
QIcon markerIcon(SnapKind kind, const QColor& color) {
    QPixmap pixmap(18, 18);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, true);
    drawSnapMarker(painter, QPointF(9, 9), kind, color);
    return QIcon(pixmap);
}

} // namespace

SnapSettingsDialog::SnapSettingsDialog(const SnapSettings& settings, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("Object Snap Settings"));
    m_enabled = new QCheckBox(tr("Object snap on (F3)"));
    m_enabled->setChecked(settings.enabled);

    auto* modes = new QGroupBox(tr("Object snap modes"));
    auto* grid = new QGridLayout(modes);
    const QColor markerColor(200, 120, 0);
    for (std::size_t i = 0; i < kKinds.size(); ++i) {
        auto* box = new QCheckBox(snapKindName(kKinds[i]));
        box->setIcon(markerIcon(kKinds[i], markerColor));
        box->setChecked(settings.modes.has(kKinds[i]));
        m_modes[i] = box;
        // Two columns, filled down, as AutoCAD's dialog lists them.
        const int half = static_cast<int>(kKinds.size() / 2);
        grid->addWidget(box, static_cast<int>(i) % half, static_cast<int>(i) / half);
    }
    auto* selectAll = new QPushButton(tr("Select All"));
    auto* clearAll = new QPushButton(tr("Clear All"));
    const auto checkAll = [this](bool on) {
        for (QCheckBox* box : m_modes) {
            box->setChecked(on);
        }
    };
    connect(selectAll, &QPushButton::clicked, this, [checkAll] { checkAll(true); });
    connect(clearAll, &QPushButton::clicked, this, [checkAll] { checkAll(false); });
    auto* allRow = new QVBoxLayout;
    allRow->addWidget(selectAll);
    allRow->addWidget(clearAll);
    allRow->addStretch();
    grid->addLayout(allRow, 0, 2, 4, 1);

    m_aperture = new QSpinBox;
    m_aperture->setRange(SnapSettings::kMinAperturePixels, SnapSettings::kMaxAperturePixels);
    m_aperture->setValue(std::clamp(settings.aperturePixels, SnapSettings::kMinAperturePixels,
                                    SnapSettings::kMaxAperturePixels));
    m_aperture->setSuffix(tr(" px"));
    m_aperture->setToolTip(tr("Half the side of the square around the crosshair in which "
                              "object snap looks for points."));
    auto* form = new QFormLayout;
    form->addRow(tr("Aperture size:"), m_aperture);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_enabled);
    layout->addWidget(modes);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

SnapSettings SnapSettingsDialog::settings() const {
    SnapSettings out;
    out.enabled = m_enabled->isChecked();
    out.modes = SnapModes::none();
    for (std::size_t i = 0; i < kKinds.size(); ++i) {
        out.modes.set(kKinds[i], m_modes[i]->isChecked());
    }
    out.aperturePixels = m_aperture->value();
    return out;
}

QCheckBox* SnapSettingsDialog::modeBox(SnapKind kind) const {
    const auto at = std::find(kKinds.begin(), kKinds.end(), kind);
    return m_modes[static_cast<std::size_t>(at - kKinds.begin())];
}

SnapSettings loadSnapSettings() {
    const QSettings settings = userSettings();
    SnapSettings out;
    if (settings.contains(kModesKey)) {
        const std::optional<SnapModeList> list =
            parseSnapModeList(settings.value(kModesKey).toString().toStdString());
        if (list) {
            out.modes = list->off ? SnapModes::none() : list->modes;
        }
    }
    out.enabled = settings.value(kEnabledKey, out.enabled).toBool();
    bool ok = false;
    const int aperture = settings.value(kApertureKey, out.aperturePixels).toInt(&ok);
    if (ok) {
        out.aperturePixels = std::clamp(aperture, SnapSettings::kMinAperturePixels,
                                        SnapSettings::kMaxAperturePixels);
    }
    return out;
}

void saveSnapSettings(const SnapSettings& snaps) {
    QSettings settings = userSettings();
    settings.setValue(kModesKey, QString::fromStdString(snapModeNames(snaps.modes, ",")));
    settings.setValue(kEnabledKey, snaps.enabled);
    settings.setValue(kApertureKey, snaps.aperturePixels);
}

} // namespace vexilo::cadhost
