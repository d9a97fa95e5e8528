/*******************************************************************************************
*  progress_posix.cpp — the first-start progress window and the error window, on X11
*
*  Both are drawn with Xlib and Xft into an off-screen pixmap: a 640-pixel-wide undecorated
*  window that stays on top, in the launcher's dark palette. The progress window sits in the
*  middle of the screen while the worker runs; the worker wakes it through a pipe, so only
*  this thread talks to the X server. Close requests are ignored. The error window shows a
*  start-up failure (as well as standard error) until the user presses OK, Enter or Escape.
*  Without a display the work runs all the same and errors go to standard error only.
*
*  Sections: canvas · progress window · error window
*******************************************************************************************/
#include "platform/platform.h"
#include "platform/palette.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/Xft/Xft.h>

namespace vlr::platform {

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 170;
constexpr int kBarHeight = 3;

// ---- canvas ----

// One connection for the life of the process: Xrender keeps per-connection data that a
// later connection at the same address would wrongly inherit after XCloseDisplay.
Display* sharedDisplay() {
    static Display* display = XOpenDisplay(nullptr);
    return display;
}

// One undecorated, always-on-top window with a back buffer and the two fonts.
struct Canvas {
    Display* display = nullptr;
    Window window = 0;
    Pixmap buffer = 0;
    XftDraw* draw = nullptr;
    XftFont* title = nullptr;  // semibold, 26 pixels from ascent to descent
    XftFont* body = nullptr;   // regular, 18 pixels
    Atom deleteWindow = 0;
    int width = 0, height = 0;

    ~Canvas() { close(); }

    // Opens a font whose line (ascent + descent) is `cell` pixels, as a Windows font of that
    // height is: the pixel size asked for is the em, which is smaller than the line.
    XftFont* openFont(int role, int cell) {
        const std::string file = fontFilePath(role);
        auto open = [&](double size) -> XftFont* {
            if (!file.empty()) {
                if (XftFont* font = XftFontOpen(display, DefaultScreen(display), XFT_FILE, XftTypeString, file.c_str(),
                                                XFT_PIXEL_SIZE, XftTypeDouble, size, nullptr))
                    return font;
            }
            return XftFontOpen(display, DefaultScreen(display), XFT_FAMILY, XftTypeString, "sans-serif", XFT_WEIGHT,
                               XftTypeInteger, role == 1 ? FC_WEIGHT_DEMIBOLD : FC_WEIGHT_REGULAR, XFT_PIXEL_SIZE,
                               XftTypeDouble, size, nullptr);
        };
        XftFont* probe = open(cell);
        if (probe == nullptr) return nullptr;
        const int line = probe->ascent + probe->descent;
        if (line <= 0 || line == cell) return probe;
        XftFontClose(display, probe);
        return open(static_cast<double>(cell) * cell / line);
    }

    bool open(int w, int h) {
        display = sharedDisplay();
        if (display == nullptr) return false;
        width = w;
        height = h;
        const int screen = DefaultScreen(display);
        const int x = (DisplayWidth(display, screen) - w) / 2;
        const int y = (DisplayHeight(display, screen) - h) / 2;
        XSetWindowAttributes attributes{};
        attributes.background_pixel = BlackPixel(display, screen);
        attributes.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | StructureNotifyMask;
        window = XCreateWindow(display, RootWindow(display, screen), x, y, static_cast<unsigned>(w),
                               static_cast<unsigned>(h), 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWBackPixel | CWEventMask, &attributes);

        // Name, place and fixed size, no decorations, above other windows.
        const char* name = "Velocrash Rebuilt";
        XStoreName(display, window, name);
        XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                        XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(name), static_cast<int>(std::strlen(name)));
        XSizeHints* size = XAllocSizeHints();
        size->flags = USPosition | PPosition | PMinSize | PMaxSize;
        size->x = x;
        size->y = y;
        size->min_width = size->max_width = w;
        size->min_height = size->max_height = h;
        XSetWMNormalHints(display, window, size);
        XFree(size);
        const long motif[5] = {2, 0, 0, 0, 0};  // flags: decorations; decorations: none
        const Atom motifAtom = XInternAtom(display, "_MOTIF_WM_HINTS", False);
        XChangeProperty(display, window, motifAtom, motifAtom, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(motif), 5);
        const Atom above = XInternAtom(display, "_NET_WM_STATE_ABOVE", False);
        XChangeProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&above), 1);
        // Listed, so that a window manager asks instead of killing us; the answer is ours.
        deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display, window, &deleteWindow, 1);

        buffer = XCreatePixmap(display, window, static_cast<unsigned>(w), static_cast<unsigned>(h),
                               static_cast<unsigned>(DefaultDepth(display, screen)));
        draw = XftDrawCreate(display, buffer, DefaultVisual(display, screen), DefaultColormap(display, screen));
        title = openFont(1, 26);
        body = openFont(0, 18);
        if (draw == nullptr || title == nullptr || body == nullptr) {
            close();
            return false;
        }
        XMapRaised(display, window);
        XMoveWindow(display, window, x, y);  // a window manager may have placed it elsewhere
        XFlush(display);
        return true;
    }

    void close() {
        if (display == nullptr) return;
        if (title != nullptr) XftFontClose(display, title);
        if (body != nullptr) XftFontClose(display, body);
        if (draw != nullptr) XftDrawDestroy(draw);
        if (buffer != 0) XFreePixmap(display, buffer);
        if (window != 0) XDestroyWindow(display, window);
        XFlush(display);
        display = nullptr;
        window = 0;
        buffer = 0;
        draw = nullptr;
        title = body = nullptr;
    }

    void fill(Rgb colour, int x, int y, int w, int h) {
        XftColor c = colourOf(colour);
        XftDrawRect(draw, &c, x, y, static_cast<unsigned>(std::max(w, 0)), static_cast<unsigned>(std::max(h, 0)));
        XftColorFree(display, DefaultVisual(display, DefaultScreen(display)),
                     DefaultColormap(display, DefaultScreen(display)), &c);
    }

    int textWidth(XftFont* font, const std::string& text) {
        XGlyphInfo extents{};
        XftTextExtentsUtf8(display, font, reinterpret_cast<const FcChar8*>(text.data()), static_cast<int>(text.size()),
                           &extents);
        return extents.xOff;
    }

    // Text whose line starts at `top`, at `x` (or centred when x < 0); clipped at the edges.
    void text(XftFont* font, Rgb colour, int top, const std::string& line, int x = -1) {
        if (x < 0) x = (width - textWidth(font, line)) / 2;
        XftColor c = colourOf(colour);
        XftDrawStringUtf8(draw, &c, font, x, top + font->ascent, reinterpret_cast<const FcChar8*>(line.data()),
                          static_cast<int>(line.size()));
        XftColorFree(display, DefaultVisual(display, DefaultScreen(display)),
                     DefaultColormap(display, DefaultScreen(display)), &c);
    }

    void present() {
        GC gc = DefaultGC(display, DefaultScreen(display));
        XCopyArea(display, buffer, window, gc, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0, 0);
        XFlush(display);
    }

private:
    XftColor colourOf(Rgb colour) {
        XRenderColor render{static_cast<unsigned short>(colour.r * 257), static_cast<unsigned short>(colour.g * 257),
                            static_cast<unsigned short>(colour.b * 257), 0xffff};
        XftColor c{};
        XftColorAllocValue(display, DefaultVisual(display, DefaultScreen(display)),
                           DefaultColormap(display, DefaultScreen(display)), &render, &c);
        return c;
    }
};

// Waits for X events or a byte on `wake` (-1: none); false on a poll failure.
bool waitForEvents(Display* display, int wake) {
    if (XPending(display) > 0) return true;
    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {wake, POLLIN, 0}};
    int result;
    do {
        result = poll(fds, wake >= 0 ? 2 : 1, -1);
    } while (result < 0 && errno == EINTR);
    return result > 0;
}

// ---- progress window ----

void paintProgress(Canvas& canvas, ProgressBoard& board) {
    canvas.fill(kRgbWindowBg, 0, 0, kWidth, kHeight);
    canvas.fill(kRgbAccent, 0, 0, kWidth, 2);
    canvas.text(canvas.title, kRgbTextPrimary, 36, "Velocrash Rebuilt");
    std::uint64_t received = 0, total = 0;
    {
        std::lock_guard<std::mutex> hold(board.lock);
        canvas.text(canvas.body, kRgbTextPrimary, 84, board.status);
        received = board.received;
        total = board.total;
    }
    canvas.text(canvas.body, kRgbTextSecondary, 112, "First start: the launcher's files are being downloaded into this folder.");
    if (total > 0)
        canvas.fill(kRgbAccent, 0, kHeight - kBarHeight, static_cast<int>(kWidth * std::min(received, total) / total),
                    kBarHeight);
    canvas.present();
}

}  // namespace

bool runWithProgressWindow(ProgressBoard& board, const std::function<bool()>& work) {
    Canvas canvas;
    int wake[2] = {-1, -1};
    const bool shown = canvas.open(kWidth, kHeight) && pipe2(wake, O_CLOEXEC | O_NONBLOCK) == 0;
    if (!shown) {
        canvas.close();
        return work();  // no display: the worker runs all the same, here
    }
    const int wakeWrite = wake[1];
    board.changed = [wakeWrite] {
        const char byte = 'c';
        (void)!write(wakeWrite, &byte, 1);  // a full pipe already holds a wake-up
    };
    std::atomic<bool> done{false};
    bool succeeded = false;
    std::thread worker([&] {
        succeeded = work();
        done = true;
        const char byte = 'd';
        (void)!write(wakeWrite, &byte, 1);
    });

    paintProgress(canvas, board);
    while (!done) {
        if (!waitForEvents(canvas.display, wake[0])) break;
        bool repaint = false;
        char bytes[64];
        while (read(wake[0], bytes, sizeof bytes) > 0) repaint = true;
        while (XPending(canvas.display) > 0) {
            XEvent event;
            XNextEvent(canvas.display, &event);
            if (event.type == Expose || event.type == MapNotify) repaint = true;
            // Close requests (ClientMessage) and keys are ignored: the first start runs to its end.
        }
        if (repaint && !done) paintProgress(canvas, board);
    }
    worker.join();
    board.changed = nullptr;
    canvas.close();
    ::close(wake[0]);
    ::close(wake[1]);
    return succeeded;
}

// ---- error window ----

namespace {

// Splits at line feeds and wraps each line at spaces (a word wider than the window is cut
// between characters) so that it fits `width` pixels.
std::vector<std::string> wrapText(Canvas& canvas, XftFont* font, const std::string& text, int width) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        std::string rest = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        do {
            if (canvas.textWidth(font, rest) <= width) {
                lines.push_back(rest);
                break;
            }
            std::size_t cut = rest.size();
            while (cut > 0 && canvas.textWidth(font, rest.substr(0, cut)) > width) {
                const std::size_t space = rest.rfind(' ', cut - 1);
                cut = (space != std::string::npos && space > 0) ? space : cut - 1;
                while (cut > 0 && (static_cast<unsigned char>(rest[cut]) & 0xC0) == 0x80) --cut;  // whole characters
            }
            if (cut == 0) cut = 1;
            lines.push_back(rest.substr(0, cut));
            rest = rest.substr(cut);
            if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
        } while (!rest.empty());
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

}  // namespace

void showErrorWindow(const std::string& caption, const std::string& text) {
    Canvas measure;
    if (!measure.open(1, 1)) return;
    const int margin = 32;
    const std::vector<std::string> lines = wrapText(measure, measure.body, text, kWidth - 2 * margin);
    const int lineHeight = measure.body->ascent + measure.body->descent + 4;
    measure.close();

    const int textTop = 84;
    const int buttonHeight = 32, buttonWidth = 96;
    const int height = textTop + static_cast<int>(lines.size()) * lineHeight + 24 + buttonHeight + 24;
    Canvas canvas;
    if (!canvas.open(kWidth, height)) return;
    const int buttonX = kWidth - margin - buttonWidth, buttonY = height - 24 - buttonHeight;

    auto paint = [&] {
        canvas.fill(kRgbWindowBg, 0, 0, kWidth, height);
        canvas.fill(kRgbAccent, 0, 0, kWidth, 2);
        canvas.text(canvas.title, kRgbTextPrimary, 36, caption);
        for (std::size_t i = 0; i < lines.size(); ++i)
            canvas.text(canvas.body, kRgbTextPrimary, textTop + static_cast<int>(i) * lineHeight, lines[i], margin);
        canvas.fill(kRgbAccent, buttonX, buttonY, buttonWidth, buttonHeight);
        const int labelWidth = canvas.textWidth(canvas.body, "OK");
        canvas.text(canvas.body, kRgbTextPrimary, buttonY + (buttonHeight - (canvas.body->ascent + canvas.body->descent)) / 2,
                    "OK", buttonX + (buttonWidth - labelWidth) / 2);
        canvas.present();
    };

    for (;;) {
        if (!waitForEvents(canvas.display, -1)) return;
        XEvent event;
        XNextEvent(canvas.display, &event);
        switch (event.type) {
        case MapNotify:
            XSetInputFocus(canvas.display, canvas.window, RevertToParent, CurrentTime);
            paint();
            break;
        case Expose:
            paint();
            break;
        case KeyPress: {
            const KeySym key = XLookupKeysym(&event.xkey, 0);
            if (key == XK_Return || key == XK_KP_Enter || key == XK_Escape || key == XK_space) return;
            break;
        }
        case ButtonPress:
            if (event.xbutton.button == Button1 && event.xbutton.x >= buttonX && event.xbutton.x < buttonX + buttonWidth &&
                event.xbutton.y >= buttonY && event.xbutton.y < buttonY + buttonHeight)
                return;
            break;
        case ClientMessage:
            // Unlike the progress window, this one may be closed like any other.
            if (static_cast<Atom>(event.xclient.data.l[0]) == canvas.deleteWindow) return;
            break;
        default:
            break;
        }
    }
}

}  // namespace vlr::platform
