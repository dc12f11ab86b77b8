#!/usr/bin/python3
"""webkit-host: runs a plug-in page in QtWebKit 5.212, a real browser engine with NPAPI support.

usage: webkit-host.py --plugin-dir DIR [--url URL] [--screenshot PNG] [--calls N] [--timeout S] PAGE.html

Loads PAGE.html (file URL; with --url as if loaded from URL, its <script src> files inlined, so that
the page's origin is URL's) in a QWebView with plug-ins enabled and QTWEBKIT_PLUGIN_PATH=DIR, so the
native plug-in (zoRozoridEverid.so in DIR) serves its <embed type="application/mirovanplugin">.
Console messages of the page go to standard output, so "page: " lines read as in nphost.
--screenshot saves the window after the load and checks its pixels where the plug-in element is.
--calls N runs the page's runCalls(N) (pages/calls.html) twice as warm-up and once measured,
reading the process memory (RSS) before and after the measured round.
Exit status as nphost: 0 window.pageVerdict is true, 1 false or not set, 2 a script error,
3 the page did not load or the plug-in is missing.
Run under an X display (xvfb-run -a). Must be the Debian python3 (/usr/bin/python3) with PyQt5.
"""
import argparse
import os
import re
import sys


def resident_kb():
    with open('/proc/self/status') as f:
        for line in f:
            if line.startswith('VmRSS:'):
                return int(line.split()[1])
    return -1


def main():
    parser = argparse.ArgumentParser(add_help=True)
    parser.add_argument('--plugin-dir', required=True)
    parser.add_argument('--screenshot')
    parser.add_argument('--calls', type=int, default=0)
    parser.add_argument('--timeout', type=float, default=120)
    parser.add_argument('--url')
    parser.add_argument('page')
    args = parser.parse_args()

    # The plug-in database reads the folder list when the first page with plug-ins loads.
    os.environ['QTWEBKIT_PLUGIN_PATH'] = os.path.abspath(args.plugin_dir)
    from PyQt5.QtCore import QTimer, QUrl
    from PyQt5.QtWebKit import QWebSettings
    from PyQt5.QtWebKitWidgets import QWebPage, QWebView
    from PyQt5.QtWidgets import QApplication

    errors = []

    class Page(QWebPage):
        def javaScriptConsoleMessage(self, message, line, source):
            # console.log lines, and uncaught exceptions ("TypeError: ...") with their line.
            if source and ':' in message.split(' ', 1)[0] and message.split(':', 1)[0].endswith('Error'):
                errors.append('%s:%d: %s' % (os.path.basename(source), line, message))
                print('webkit-host: script error: %s:%d: %s' % (os.path.basename(source), line, message),
                      file=sys.stderr, flush=True)
            else:
                print(message, flush=True)

    app = QApplication(['webkit-host'])
    QWebSettings.globalSettings().setAttribute(QWebSettings.PluginsEnabled, True)
    QWebSettings.globalSettings().setAttribute(QWebSettings.JavascriptEnabled, True)
    view = QWebView()
    page = Page(view)
    view.setPage(page)
    view.resize(800, 600)
    view.show()
    state = {'status': 3}

    def evaluate(script):
        return page.mainFrame().evaluateJavaScript(script)

    def finished(ok):
        # A page's promise callbacks may still be pending when the load ends: give its verdict up to
        # five seconds to appear.
        def settle(tries):
            if ok and not args.calls and tries > 0 and evaluate('typeof window.pageVerdict') != 'boolean':
                QTimer.singleShot(50, lambda: settle(tries - 1))
                return
            try:
                state['status'] = after_load(ok)
            finally:
                app.quit()
        settle(100)

    def after_load(ok):
        if not ok:
            print('webkit-host: the page did not load', file=sys.stderr)
            return 3
        has_plugin = evaluate("(function(){var e=document.querySelector('embed[type=\"application/mirovanplugin\"]');"
                              "return !!e && typeof e.MV_init === 'function';})()")
        if not has_plugin:
            print('webkit-host: no plug-in object on the page (plug-in not loaded)', file=sys.stderr)
            return 3
        status = 0
        if args.calls:
            status = run_calls(args.calls)
        if args.screenshot:
            if not check_screenshot(args.screenshot):
                status = 1
        verdict = evaluate('window.pageVerdict')
        if errors:
            return 2
        if verdict is not True:
            if verdict is None:
                print('webkit-host: the page set no verdict (window.pageVerdict)', file=sys.stderr)
            return 1
        return status

    def run_calls(n):
        for _ in range(2):
            evaluate('runCalls(%d)' % n)
        QWebSettings.clearMemoryCaches()
        before = resident_kb()
        result = evaluate('JSON.stringify(window.lastCalls = runCalls(%d))' % n)
        QWebSettings.clearMemoryCaches()  # also collects the script engine's garbage
        after = resident_kb()
        print('page: ' + evaluate('summary(window.lastCalls)'), flush=True)
        print('page: process memory %d KB -> %d KB' % (before, after), flush=True)
        import json
        r = json.loads(result)
        ok = r['refused'] == n and r['lastValue'] == '' and after - before < 2048
        evaluate('window.pageVerdict = %s' % ('true' if ok else 'false'))
        return 0

    def check_screenshot(path):
        app.processEvents()
        image = view.grab().toImage()
        image.save(path)
        rect = evaluate("(function(){var r=document.getElementById('plugin').getBoundingClientRect();"
                        "return [Math.round(r.left), Math.round(r.top), Math.round(r.width), Math.round(r.height)];})()")
        x, y, w, h = [int(v) for v in rect]

        def dark(px, py):
            c = image.pixel(px, py)
            return ((c >> 16) & 255) < 64 and ((c >> 8) & 255) < 64 and (c & 255) < 64

        frame = all(dark(x + i, y) and dark(x + i, y + h - 1) for i in range(0, w, 7)) and \
            all(dark(x, y + j) and dark(x + w - 1, y + j) for j in range(0, h, 7))
        inside = sum(1 for i in range(x + 2, x + w - 2) for j in range(y + 2, y + h - 2) if dark(i, j))
        middle = sum(1 for i in range(x + w // 4, x + 3 * w // 4) for j in range(y + h // 3, y + 2 * h // 3) if dark(i, j))
        # The caption: dark pixels in the middle of the element, and none elsewhere inside the frame.
        caption = middle > 20 and inside == middle
        print('host: screenshot %s: plug-in element at %d,%d size %dx%d: frame %s, caption %s' %
              (path, x, y, w, h, 'black' if frame else 'missing', 'drawn' if caption else 'missing'), flush=True)
        return frame and caption

    view.loadFinished.connect(finished)
    QTimer.singleShot(int(args.timeout * 1000), lambda: (print('webkit-host: timed out', file=sys.stderr), app.quit()))
    if args.url:
        folder = os.path.dirname(os.path.abspath(args.page))
        with open(args.page, encoding='utf-8') as f:
            html = f.read()
        def inline(match):
            with open(os.path.join(folder, match.group(1)), encoding='utf-8') as f:
                return '<script>' + f.read() + '</script>'
        html = re.sub(r'<script src="([^"]+)"></script>', inline, html)
        # From the event loop, as a load is: setHtml may finish before exec_ otherwise.
        QTimer.singleShot(0, lambda: view.setHtml(html, QUrl(args.url)))
    else:
        view.load(QUrl.fromLocalFile(os.path.abspath(args.page)))
    app.exec_()
    return state['status']


if __name__ == '__main__':
    sys.exit(main())
