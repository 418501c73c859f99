// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "tools/headless_driver.h"

#include "surface/raster/qt_image_view.h"

#include <QBuffer>
#include <QByteArray>
#include <cerrno>
#include <cstring>

namespace rotavel::tools {

namespace {

// The trace goes out in blocks of about this size: one write per block, not per line.
constexpr std::size_t kBlock = 1 << 16;

} // namespace

HeadlessDriver::HeadlessDriver(std::FILE* out, std::FILE* err, bool paint, double devicePixelRatio)
    : m_out(out), m_err(err), m_image(scene::kPicture1, devicePixelRatio),
      m_area(m_log, paint ? &m_image : nullptr) {
    m_timer.setTickHandler([this] { onTick(); });
    m_buffer.reserve(kBlock + 256);
}

HeadlessDriver::~HeadlessDriver() {
    flush();
}

int HeadlessDriver::run(const Script& script) {
    for (const Command& c : script.commands) {
        if (c.queued) {
            m_pending.push_back({c.kind, c.preset});
        } else {
            switch (c.kind) {
            case Command::Kind::Tick:
                fire(c.count);
                break;
            case Command::Kind::State:
                printState();
                break;
            case Command::Kind::Save:
                if (!save(c, script.paths.at(c.path)))
                    return kWriteFailed;
                break;
            default:
                handle(c);
                break;
            }
        }
        printCalls();
        if (m_rotor.isClosed() || m_writeFailed)
            break;
    }
    m_image.present();
    flush();
    if (m_writeFailed) {
        std::fprintf(m_err, "%s: cannot write the trace: %s\n", kToolName,
                     m_writeErrno ? std::strerror(m_writeErrno) : "write failed");
        return kWriteFailed;
    }
    return kDone;
}

void HeadlessDriver::handle(const Command& c) {
    switch (c.kind) {
    case Command::Kind::Load:
        event("load");
        m_rotor.load();
        break;
    case Command::Kind::Activate:
        event("activate");
        m_rotor.activate();
        break;
    case Command::Kind::Run:
        event("run");
        m_rotor.run();
        break;
    case Command::Kind::Menu:
        event("menu", c.preset->item);
        m_rotor.choose(*c.preset);
        break;
    case Command::Kind::Close:
        event("close");
        m_rotor.close();
        break;
    default:
        break;
    }
}

void HeadlessDriver::fire(std::uint32_t count) {
    // Only a tick can switch the timer off and only an event can switch it on again, so once a
    // fire finds it off the rest of this command finds it off too.
    for (std::uint32_t i = 0; i < count && !m_rotor.isClosed() && !m_writeFailed; ++i)
        if (!m_timer.fire())
            break;
}

void HeadlessDriver::onTick() {
    if (m_rotor.isClosed())
        return; // a tick held behind a close goes with the window
    event("tick");
    m_rotor.tick();
}

void HeadlessDriver::processPendingEvents() {
    m_log.append({.op = surface::Call::Op::Yield});
    printCalls();
    for (const Held& held : m_pending) {
        if (held.kind == Command::Kind::Tick) {
            m_timer.fire(); // held by the timer until the running tick returns
            continue;
        }
        handle({.kind = held.kind, .preset = held.preset});
        if (m_rotor.isClosed())
            break; // whatever was held behind the close is dropped with the window
    }
    m_pending.clear();
}

bool HeadlessDriver::save(const Command& c, const std::string& path) {
    // Encode first and write the bytes ourselves: the path reaches the system exactly as the
    // script spelled it, and a failure comes with the system's reason.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    m_image.present();
    const bool encoded = raster::qImageView(m_image.image()).save(&buffer, "PNG");
    const char* why = "cannot encode the image";
    bool ok = false;
    if (encoded) {
        errno = 0;
        if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
            const bool written = std::fwrite(png.constData(), 1, png.size(), file) ==
                                 static_cast<std::size_t>(png.size());
            const int writeErrno = errno;
            ok = (std::fclose(file) == 0) && written;
            if (!written)
                errno = writeErrno;
        }
        if (!ok)
            why = errno ? std::strerror(errno) : "write failed";
    }
    if (ok)
        return true;
    flush(); // the trace up to the failure comes first
    std::fprintf(m_err, "%s: line %zu: cannot save %s: %s\n", kToolName, c.line,
                 quoted(path, 4096).c_str(), why);
    return false;
}

void HeadlessDriver::printState() {
    char line[128];
    std::snprintf(line, sizeof line, "state %.17g %d %.17g %s\n", m_rotor.angle(),
                  static_cast<int>(m_rotor.nvanes()), m_rotor.bladelen(),
                  m_timer.isEnabled() ? "on" : "off");
    write(line);
}

void HeadlessDriver::event(std::string_view name, std::string_view detail) {
    printCalls(); // calls made before this event come before its line
    write("event ");
    write(name);
    if (!detail.empty()) {
        write(" ");
        write(detail);
    }
    write("\n");
}

void HeadlessDriver::printCalls() {
    for (const surface::Call& call : m_log.calls()) {
        surface::appendCall(m_buffer, call);
        m_buffer += '\n';
        if (m_buffer.size() >= kBlock)
            flush();
    }
    m_log.clear();
}

void HeadlessDriver::write(std::string_view text) {
    m_buffer.append(text);
    if (m_buffer.size() >= kBlock)
        flush();
}

void HeadlessDriver::flush() {
    if (m_buffer.empty() || m_writeFailed) {
        m_buffer.clear();
        return;
    }
    errno = 0;
    if (std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out) != m_buffer.size() ||
        std::fflush(m_out) != 0) {
        m_writeFailed = true; // a closed pipe or a full disk: stop rather than run on unseen
        m_writeErrno = errno;
    }
    m_buffer.clear();
}

} // namespace rotavel::tools
