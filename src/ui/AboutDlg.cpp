#include "ui/AboutDlg.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "session/HostAnnouncement.h"
#include "session/JoinDecision.h"
#include "ui/ControlIds.h"
#include "ui/DialogUnits.h"

using ui::ControlId;
using ui::SetControlId;

namespace {

// The picture is drawn rather than shipped: a dusk sky over a dune, with the program's name.
QPixmap AboutPicture() {
    QPixmap picture(388, 240);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 240);
    sky.setColorAt(0.0, QColor(24, 32, 72));
    sky.setColorAt(0.6, QColor(196, 96, 48));
    sky.setColorAt(1.0, QColor(240, 180, 90));
    painter.fillRect(picture.rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(60, 40, 30));
    QPainterPath dune;
    dune.moveTo(0, 240);
    dune.cubicTo(120, 150, 260, 230, 388, 170);
    dune.lineTo(388, 240);
    dune.closeSubpath();
    painter.drawPath(dune);
    painter.setPen(QColor(255, 240, 210));
    QFont font = painter.font();
    font.setPointSize(28);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(0, 40, 388, 60), Qt::AlignCenter, "KORVANE");
    font.setPointSize(10);
    font.setBold(false);
    painter.setFont(font);
    painter.drawText(QRect(0, 96, 388, 24), Qt::AlignCenter, "Modpacks for Giants: Citizen Kabuto");
    return picture;
}

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About KRV");
    setModal(true);

    auto* picture = new QLabel(this);
    SetControlId(picture, ControlId::Unnamed);
    picture->setPixmap(AboutPicture());
    picture->setFrameShape(QFrame::Box);
    picture->setAlignment(Qt::AlignCenter);
    m_version = new QLabel("Korvane (unofficial release)", this);
    SetControlId(m_version, ControlId::VersionText);
    auto* credit = new QLabel("Korvane for Linux, written by the Korvane developers.", this);
    SetControlId(credit, ControlId::Unnamed);
    auto* web = new QLabel(QString::fromUtf8(kProjectWebPage), this);
    SetControlId(web, ControlId::Unnamed);
    web->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* ok = new QPushButton("OK", this);
    SetControlId(ok, ControlId::Ok);
    ok->setDefault(true);
    ok->setMinimumSize(ui::Dlu(this, 50, 14));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture);
    layout->addWidget(m_version);
    layout->addWidget(credit);
    layout->addWidget(web);
    layout->addWidget(ok, 0, Qt::AlignRight);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void CAboutDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_version->setText(QString("Korvane Version ") + kHostVersionText);
}
