#include "ui/main_window.h"

#include "ui/drawing_area.h"

#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

namespace rotavel::ui {

namespace {

QString qString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), m_client(new QWidget(this)), m_picture(new DrawingArea(m_client)),
      m_run(new QPushButton(QStringLiteral("Run"), m_client)), m_timer(this),
      m_rotor(*m_picture, m_timer, m_host) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Rotavel Motion"));
    setWindowIcon(QIcon(QStringLiteral(":/assets/rotor_icon.png")));

    QPalette client = m_client->palette();
    client.setColor(QPalette::Window, QColor(kBackColor));
    m_client->setPalette(client);
    m_client->setAutoFillBackground(true);
    setCentralWidget(m_client);

    // The button lies over the picture's top-left corner and is created after it, so it is on
    // top; it is the one control that takes the keyboard focus.
    m_run->setObjectName(QStringLiteral("Command1"));
    m_run->setGeometry(16, 8, 57, 33);
    QPalette face = m_run->palette();
    face.setColor(QPalette::Button, Qt::white);
    m_run->setPalette(face);
    m_run->raise();
    connect(m_run, &QPushButton::clicked, this, [this] { m_rotor.run(); });

    buildMenu();
    m_timer.setTickHandler([this] { m_rotor.tick(); });

    // The stored size is the client area's; the menu bar comes on top of it.
    int menuHeight = menuBar()->heightForWidth(kClientSize.width());
    if (menuHeight < 0)
        menuHeight = menuBar()->sizeHint().height();
    resize(kClientSize.width(), kClientSize.height() + menuHeight);

    m_rotor.load();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenu() {
    // No '&' anywhere: the captions are shown exactly as written, with no access keys.
    auto* menu = new QMenu(QStringLiteral("Choose #Vanes"), this);
    menu->setObjectName(QStringLiteral("mmain"));
    for (const scene::Preset& preset : scene::kPresets) {
        auto* item = new QAction(qString(preset.caption), this);
        item->setObjectName(qString(preset.item));
        connect(item, &QAction::triggered, this, [this, preset] { m_rotor.choose(preset); });
        menu->addAction(item);
    }
    menuBar()->addMenu(menu);
}

bool MainWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        m_rotor.activate();
    return QMainWindow::event(event);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Some window systems activate a new window only once the pointer enters it; the persistent
    // image must be on before the first Run all the same.
    if (!m_shownOnce) {
        m_shownOnce = true;
        m_rotor.activate();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The close may arrive inside a frame's yield: the rotor must leave the window alone from here
    // on, and no further tick may start.
    m_rotor.close();
    m_timer.setEnabled(false);
    event->accept();
}

} // namespace rotavel::ui
