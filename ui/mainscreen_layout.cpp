#include "ui/mainscreen.h"
#include "ui/password_style.h"
#include "ui/percent_bar.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <initializer_list>

namespace ferrocase {
namespace {

constexpr int password_length_limit = 100;
constexpr int Timer1_interval_milliseconds = 350;

template <typename Control> Control* place(Control* control, const char* name, QRect twips) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(twips);
    return control;
}

QLineEdit* password_box(QWidget* client, const char* name, QRect geometry) {
    auto* box = place(new QLineEdit(client), name, geometry);
    box->setMaxLength(password_length_limit);
    // Files dropped here go to the queue, not into the password as text.
    box->setAcceptDrops(false);
    return box;
}

// The smallest size a caption is shrunk to; below it the text is no longer readable.
constexpr double smallest_point_size = 6.0;

// The captions were fitted to a face of Arial's widths. A wider face, such as Debian's default
// DejaVu Sans, would cut them off at the edge of their control, so it gets a smaller size instead.
void keep_caption_whole(QWidget* control) {
    QFont font = control->font();
    while (control->sizeHint().width() > control->width() &&
           font.pointSizeF() > smallest_point_size) {
        font.setPointSizeF(font.pointSizeF() - 0.25);
        control->setFont(font);
    }
}

} // namespace

void Mainscreen::build_controls(QWidget* client) {
    // The captions were fitted to a dialog font of Arial's widths. The desktops map "Helvetica" to
    // a face of those widths (Arial itself, Liberation Sans, Nimbus Sans), where a wider default
    // face would cut the captions off.
    QFont dialog_font(QStringLiteral("Helvetica"));
    dialog_font.setStyleHint(QFont::SansSerif);
    dialog_font.setPointSizeF(8.25);
    setFont(dialog_font);

    Command1 = place(new QPushButton(tr("&Browse and Select Files for Processing"), client),
                     "Command1", twips_rect(1350, 450, 3615, 390));
    Label1 = place(new QLabel(tr("Password:"), client), "Label1", twips_rect(525, 975, 840, 240));
    Text1 = password_box(client, "Text1", twips_rect(1350, 900, 3615, 315));
    Label2 = place(new QLabel(tr("Verify Password:"), client), "Label2",
                   twips_rect(75, 1350, 1290, 240));
    Text2 = password_box(client, "Text2", twips_rect(1350, 1275, 3615, 315));
    Text2->setEchoMode(QLineEdit::Password);
    // Owned by the window, which outlives the box.
    Text2->setStyle(new AsteriskPasswordStyle(this));

    Label4 = place(
        new QLabel(tr("Byte Skipping - Improves Encryption Speed but Lowers Protection"), client),
        "Label4", twips_rect(150, 1725, 5865, 240));
    Label4->setAlignment(Qt::AlignCenter);
    QFont underlined = dialog_font;
    underlined.setUnderline(true);
    Label4->setFont(underlined);

    Slider1 =
        place(new QSlider(Qt::Horizontal, client), "Slider1", twips_rect(75, 1950, 5940, 630));
    Slider1->setRange(0, 4);
    Slider1->setSingleStep(1);
    Slider1->setPageStep(1);
    Slider1->setTickPosition(QSlider::TicksBothSides);
    Slider1->setTickInterval(1);

    Check2 = place(new QCheckBox(tr("Allow Multiple Encryption"), client), "Check2",
                   twips_rect(1650, 2700, 2490, 315));
    Check1 = place(new QCheckBox(tr("Delete Original files after processing"), client), "Check1",
                   twips_rect(1650, 3075, 3090, 315));

    Command2 = place(new QPushButton(tr("&Encrypt/Decrypt File(s)"), client), "Command2",
                     twips_rect(75, 3450, 5940, 465));
    QFont bold = dialog_font;
    bold.setPointSizeF(9.75);
    bold.setBold(true);
    Command2->setFont(bold);

    ProgressBar1 = place(new PercentBar(client), "ProgressBar1", twips_rect(75, 3975, 5940, 315));
    ProgressBar2 = place(new PercentBar(client), "ProgressBar2", twips_rect(75, 4350, 5940, 315));
    describe_for_screen_readers();
    for (QWidget* captioned : std::initializer_list<QWidget*>{Command1, Label1, Label2, Label4,
                                                              Check2, Check1, Command2}) {
        keep_caption_whole(captioned);
    }

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(Timer1_interval_milliseconds);

    connect(Command1, &QPushButton::clicked, this, &Mainscreen::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Mainscreen::Command2_Click);
    connect(Check1, &QCheckBox::toggled, this, &Mainscreen::Check1_Click);
    connect(Check2, &QCheckBox::toggled, this, &Mainscreen::Check2_Click);
    connect(Timer1, &QTimer::timeout, this, &Mainscreen::Timer1_Timer);
}

// A screen reader names a box by the label tied to it; the controls without a caption of their
// own get a name here.
void Mainscreen::describe_for_screen_readers() {
    Label1->setBuddy(Text1);
    Label2->setBuddy(Text2);
    Label4->setBuddy(Slider1);
    Slider1->setAccessibleDescription(
        tr("Level 0 encrypts every byte, level 1 every second byte, up to level 4, every fifth "
           "byte: a higher level is faster but protects less."));
    ProgressBar1->setAccessibleName(tr("File progress"));
    ProgressBar1->setAccessibleDescription(tr("How much of the file in hand is done"));
    ProgressBar2->setAccessibleName(tr("Queue progress"));
    ProgressBar2->setAccessibleDescription(
        tr("Which of the queued files is in hand, as a share of the queue"));
}

void Mainscreen::set_tab_order() {
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Text1);
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Slider1);
    setTabOrder(Slider1, Check1);
    setTabOrder(Check1, Check2);
    Command1->setFocus();
}

// A fixed window without a maximise button, centred on the screen.
void Mainscreen::fix_frame() {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(QStringLiteral(":/ferrocase/ferrocase.png")));
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

} // namespace ferrocase
