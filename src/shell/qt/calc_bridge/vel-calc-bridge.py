#!/usr/bin/python3
# Spreadsheet bridge of Vel: drives LibreOffice Calc through its UNO
# automation interface for the program, which talks to it over two pipes.
#
# One command a line on stdin, exactly one reply line on stdout:
#   (start)           -> OK ready PGID    PGID: process group of the office this
#                                         bridge started, 0 when it found one running
#   open PATH         -> OK rw | OK ro    (ro: someone else holds the workbook)
#   get ROW COL       -> OK TEXT          the cell as displayed
#   set ROW COL NUM   -> OK               a number
#   sets ROW COL TEXT -> OK               a text
#   save              -> OK               in place, in the workbook's Excel format
#   release           -> OK bye           leave the workbook open for the user
#   quit              -> OK bye           close it; stop the office if started here
# Rows and columns count from 1. Failures answer "ERR message" and the session
# goes on. Texts are UTF-8 with backslash, CR and LF written as \\, \r and \n.
# End of input counts as quit, so a caller that dies leaves no office behind.
#
# Environment: CALC_PIPE (name of the office's pipe), CALC_PROFILE (a private
# profile folder), CALC_HEADLESS=1 (no windows), CALC_SOFFICE (the program).

import os
import signal
import subprocess
import sys
import time
import uuid

try:
    import uno
    from com.sun.star.beans import PropertyValue
    from com.sun.star.connection import NoConnectException
except ImportError:
    sys.stdout.write("ERR nouno python3-uno is not installed\n")
    sys.stdout.flush()
    sys.exit(3)

# A first start builds the profile and reads the office from disk (9 s were
# measured on a busy 2-core machine); the program waits 120 s for the answer.
CONNECT_SECONDS = 90
TOKEN_NAME = "VelCalcBridgeToken"


def escape(text):
    return text.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n")


def unescape(text):
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            n = text[i + 1]
            out.append({"n": "\n", "r": "\r", "\\": "\\"}.get(n, n))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def reply(text):
    sys.stdout.write(text + "\n")
    sys.stdout.flush()


class Bridge:
    def __init__(self):
        self.pipe = os.environ.get("CALC_PIPE") or "vel_calc_%d" % os.getuid()
        self.profile = os.environ.get("CALC_PROFILE", "")
        self.headless = os.environ.get("CALC_HEADLESS", "") == "1" or not (
            os.environ.get("DISPLAY") or os.environ.get("WAYLAND_DISPLAY"))
        self.soffice = os.environ.get("CALC_SOFFICE") or "soffice"
        self.token = uuid.uuid4().hex
        self.office = None  # the office process this bridge started
        self.desktop = None
        self.context = None
        self.doc = None
        self.sheet = None
        self.url = None

    def accept_string(self):
        return "pipe,name=%s;urp;" % self.pipe

    def resolve(self):
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        return resolver.resolve("uno:" + self.accept_string() + "StarOffice.ComponentContext")

    def start_office(self):
        args = [self.soffice, "--accept=" + self.accept_string(), "--norestore", "--nologo", "--nodefault",
                "-env:%s=%s" % (TOKEN_NAME, self.token)]
        if self.headless:
            args += ["--headless", "--invisible"]
        if self.profile:
            args.append("-env:UserInstallation=" + uno.systemPathToFileUrl(os.path.abspath(self.profile)))
        self.office = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL, start_new_session=True)

    def started_here(self):
        # An office that got our arguments handed on by a second start is
        # not ours: only ours knows the token.
        try:
            expander = self.context.getValueByName("/singletons/com.sun.star.util.theMacroExpander")
            return expander.expandMacros("${%s}" % TOKEN_NAME) == self.token
        except Exception:
            return False

    def connect(self):
        try:
            self.context = self.resolve()
        except NoConnectException:
            self.start_office()
            deadline = time.monotonic() + CONNECT_SECONDS
            while True:
                try:
                    self.context = self.resolve()
                    break
                except NoConnectException:
                    if time.monotonic() > deadline:
                        raise
                    time.sleep(0.1)
        self.desktop = self.context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop",
                                                                             self.context)
        if self.office is not None and not self.started_here():
            self.office = None
        return os.getpgid(self.office.pid) if self.office is not None and self.office.poll() is None else 0

    def stop_office(self):
        # Ends the office this bridge started and reaps it, so that neither
        # its wrapper nor soffice.bin outlives the bridge.
        if self.office is None:
            return
        group = self.office.pid
        for sig, seconds in ((signal.SIGTERM, 10), (signal.SIGKILL, 5)):
            try:
                os.killpg(group, sig)
            except ProcessLookupError:
                break
            try:
                self.office.wait(timeout=seconds)
                break
            except subprocess.TimeoutExpired:
                pass
        try:
            os.killpg(group, signal.SIGKILL)  # a soffice.bin its wrapper left
        except ProcessLookupError:
            pass
        self.office = None

    def open(self, path):
        self.url = uno.systemPathToFileUrl(os.path.abspath(path))
        doc = self.desktop.loadComponentFromURL(self.url, "_blank", 0, (prop("Hidden", self.headless),))
        if doc is None or not doc.supportsService("com.sun.star.sheet.SpreadsheetDocument"):
            if doc is not None:
                doc.close(True)
            raise RuntimeError("not a workbook: " + path)
        self.doc = doc
        self.sheet = doc.getCurrentController().getActiveSheet()
        if not self.headless:
            window = doc.getCurrentController().getFrame().getContainerWindow()
            window.setVisible(True)
        return "ro" if doc.isReadonly() else "rw"

    def cell(self, row, column):
        if self.sheet is None:
            raise RuntimeError("no workbook open")
        return self.sheet.getCellByPosition(int(column) - 1, int(row) - 1)

    def save(self):
        if self.doc is None:
            raise RuntimeError("no workbook open")
        self.doc.storeToURL(self.url, (prop("FilterName", "MS Excel 97"), prop("Overwrite", True)))

    def quit(self):
        if self.doc is not None:
            try:
                self.doc.close(True)
            except Exception:
                pass
            self.doc = None
        if self.office is not None:
            try:
                self.desktop.terminate()
            except Exception:
                pass
            try:
                self.office.wait(timeout=20)
                self.office = None
            except subprocess.TimeoutExpired:
                self.stop_office()

    def run(self, line):
        command, _, rest = line.partition(" ")
        if command == "open":
            return "OK " + self.open(unescape(rest))
        if command == "get":
            row, column = rest.split(" ")[:2]
            return "OK " + escape(self.cell(row, column).getString())
        if command == "set":
            row, column, value = rest.split(" ")[:3]
            self.cell(row, column).setValue(float(value))
            return "OK"
        if command == "sets":
            parts = rest.split(" ", 2) + [""]
            row, column, text = parts[0], parts[1], parts[2]
            self.cell(row, column).setString(unescape(text))
            return "OK"
        if command == "save":
            self.save()
            return "OK"
        raise RuntimeError("unknown command " + command)


def main():
    bridge = Bridge()
    try:
        pgid = bridge.connect()
    except Exception as e:  # no office, or it did not answer
        reply("ERR connect " + escape(str(e) or type(e).__name__))
        bridge.stop_office()
        return 2
    reply("OK ready %d" % pgid)
    for raw in sys.stdin.buffer:
        line = raw.decode("utf-8", "replace").rstrip("\r\n")
        if line == "release":
            reply("OK bye")
            return 0
        if line == "quit":
            bridge.quit()
            reply("OK bye")
            return 0
        try:
            reply(bridge.run(line))
        except Exception as e:
            reply("ERR " + escape(str(e) or type(e).__name__))
    bridge.quit()
    return 0


if __name__ == "__main__":
    sys.exit(main())
