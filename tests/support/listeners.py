"""Loopback listeners for the installer's two reports (Python stdlib only).

HttpListener records each HTTP request it receives (request line and headers,
exactly as sent) and answers with a scripted sequence of statuses.
TcpListener records the bytes of each TCP connection until the peer closes.

Both listen on 127.0.0.1 only, on an ephemeral port unless one is given, and
serve from a background thread:

    with HttpListener(statuses=[500, 200]) as http, TcpListener(port=16666) as log:
        ...run the installer with updatehost=127.0.0.1:<http.port>...
        requests = http.wait_for_requests(2, timeout=30)
        messages = log.wait_for_connections(1, timeout=30)

start()/stop() do the same as the with-statement.
"""
import collections
import socket
import threading
import time

__all__ = ["FullBacklogListener", "HttpListener", "HttpRequest", "SlowHttpListener", "TcpListener"]

LOOPBACK = "127.0.0.1"

HttpRequest = collections.namedtuple("HttpRequest", "request_line method target path query version headers raw")
HttpRequest.__doc__ = """One request as received.

request_line: the first line, decoded as Latin-1, without CRLF.
method, target, version: its parts (target is everything between the first and
    the last space, so a target with a bare space stays whole).
path, query: target split at the first "?" (query is "" when there is none);
    nothing is unescaped.
headers: list of (name, value) in the order sent.
raw: the bytes up to and including the blank line.
"""


def _header(request, name):
    """Value of the first header called name (any case), or None."""
    for key, value in request.headers:
        if key.lower() == name.lower():
            return value
    return None


HttpRequest.header = _header


class _LoopbackPort:
    """A port on loopback only, used as a context manager: start() on entry,
    stop() on exit."""

    def __init__(self, port=0, host=LOOPBACK):
        if host != LOOPBACK:
            raise ValueError("the report listeners stay on loopback")
        self._host = host
        self._wanted_port = port

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


class _Listener(_LoopbackPort):
    """Accept loop on a background thread; subclasses handle one connection."""

    def __init__(self, port=0, host=LOOPBACK):
        super().__init__(port, host)
        self._sock = None
        self._thread = None
        self._cond = threading.Condition()
        self._stopping = False
        self.port = None

    def start(self):
        """Binds and starts serving; returns self. Raises OSError if the port is taken."""
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        sock.bind((self._host, self._wanted_port))
        sock.listen(16)
        sock.settimeout(0.2)
        self._sock = sock
        self.port = sock.getsockname()[1]
        self._stopping = False
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()
        return self

    def stop(self):
        """Stops accepting and closes the port (what was recorded stays)."""
        self._stopping = True
        if self._thread is not None:
            self._thread.join(5)
            self._thread = None
        if self._sock is not None:
            self._sock.close()
            self._sock = None

    def _serve(self):
        while not self._stopping:
            try:
                conn, _ = self._sock.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            with conn:
                conn.settimeout(self.idle_timeout)
                try:
                    self._handle(conn)
                except OSError:
                    pass

    def _record(self, items, item):
        with self._cond:
            items.append(item)
            self._cond.notify_all()

    def _wait(self, items, count, timeout):
        end = time.monotonic() + timeout
        with self._cond:
            while len(items) < count:
                left = end - time.monotonic()
                if left <= 0:
                    break
                self._cond.wait(left)
            return list(items)


class HttpListener(_Listener):
    """HTTP server that records requests and answers from a status script.

    statuses: the status of the 1st, 2nd, ... request; the last one repeats
    for any later request. Every answer has a short text body and closes the
    connection.
    """

    idle_timeout = 10

    def __init__(self, statuses=(200,), port=0, host=LOOPBACK, body=b"ok"):
        super().__init__(port, host)
        self.statuses = list(statuses) or [200]
        self.body = body
        self._requests = []

    @property
    def url(self):
        return "http://%s:%d/" % (self._host, self.port)

    @property
    def requests(self):
        """The requests received so far (HttpRequest), in order."""
        with self._cond:
            return list(self._requests)

    def wait_for_requests(self, count, timeout=30):
        """The requests once at least count arrived, or what came within timeout."""
        return self._wait(self._requests, count, timeout)

    def _handle(self, conn):
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = conn.recv(4096)
            if not chunk:
                break
            data += chunk
        head = data.split(b"\r\n\r\n", 1)[0]
        if not head:
            return
        lines = head.decode("latin-1").split("\r\n")
        line = lines[0]
        first, last = line.find(" "), line.rfind(" ")
        method = line[:first] if first >= 0 else line
        target = line[first + 1:last] if 0 <= first < last else ""
        version = line[last + 1:] if 0 <= first < last else ""
        path, _, query = target.partition("?")
        headers = []
        for h in lines[1:]:
            name, _, value = h.partition(":")
            headers.append((name.strip(), value.strip()))
        index = len(self._requests)
        status = self.statuses[min(index, len(self.statuses) - 1)]
        self._record(self._requests, HttpRequest(line, method, target, path, query, version, headers,
                                                 head + b"\r\n\r\n"))
        conn.sendall(b"HTTP/1.1 %d Status\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n"
                     b"Connection: close\r\n\r\n%s" % (status, len(self.body), self.body))


class TcpListener(_Listener):
    """TCP server that records the bytes of each connection.

    A connection is recorded when the peer closes it, or after idle_timeout
    seconds without data. Nothing is ever sent back.
    """

    def __init__(self, port=0, host=LOOPBACK, idle_timeout=5):
        super().__init__(port, host)
        self.idle_timeout = idle_timeout
        self._connections = []

    @property
    def connections(self):
        """The bytes of each finished connection so far, in order."""
        with self._cond:
            return list(self._connections)

    def wait_for_connections(self, count, timeout=30):
        """The connections once at least count finished, or what came within timeout."""
        return self._wait(self._connections, count, timeout)

    def _handle(self, conn):
        data = b""
        try:
            while True:
                chunk = conn.recv(65536)
                if not chunk:
                    break
                data += chunk
        except socket.timeout:
            pass
        self._record(self._connections, data)


class SlowHttpListener(_Listener):
    """An update host that holds the installer, each connection served on a
    thread of its own until stop():

    "silent"   accepts and never answers;
    "trickle"  answers one byte every `interval` seconds without end;
    "endless"  answers 200 with a body that never ends, as fast as it goes.

    connections counts the connections accepted; sent the bytes sent in all.
    """

    idle_timeout = None

    def __init__(self, mode, port=0, host=LOOPBACK, interval=2.0):
        if mode not in ("silent", "trickle", "endless"):
            raise ValueError(mode)
        super().__init__(port, host)
        self.mode = mode
        self.interval = interval
        self.connections = 0
        self.sent = 0
        self.first_connection = None  # time.monotonic() of the first accept

    def _serve(self):
        while not self._stopping:
            try:
                conn, _ = self._sock.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            with self._cond:
                self.connections += 1
                if self.first_connection is None:
                    self.first_connection = time.monotonic()
            threading.Thread(target=self._hold, args=(conn,), daemon=True).start()

    def _send(self, conn, data):
        conn.sendall(data)
        with self._cond:
            self.sent += len(data)

    def _hold(self, conn):
        answer = b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n"
        conn.settimeout(0.2)
        with conn:
            try:
                if self.mode == "endless":
                    self._send(conn, answer)
                    chunk = b"x" * 65536
                    while not self._stopping:
                        try:
                            self._send(conn, chunk)
                        except socket.timeout:
                            continue
                    return
                position, last = 0, time.monotonic()
                while not self._stopping:
                    if self.mode == "trickle" and time.monotonic() - last >= self.interval:
                        self._send(conn, (answer + b"x" * 1000000)[position:position + 1])
                        position, last = position + 1, time.monotonic()
                    try:
                        if conn.recv(4096) == b"":
                            return  # the peer gave up
                    except socket.timeout:
                        pass
            except OSError:
                return


class FullBacklogListener(_LoopbackPort):
    """A TCP port whose listen queue is full: a socket listening with backlog
    1 that never accepts, filled first by connections of its own, so that a
    further connect hangs in the handshake (the kernel drops its SYN)."""

    def __init__(self, port=0, host=LOOPBACK):
        super().__init__(port, host)
        self._sock, self._fillers, self.port = None, [], None

    def start(self):
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        sock.bind((self._host, self._wanted_port))
        sock.listen(1)
        self._sock, self.port = sock, sock.getsockname()[1]
        for _ in range(16):  # until one connect no longer completes
            filler = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            filler.setblocking(False)
            self._fillers.append(filler)
            filler.connect_ex((self._host, self.port))
            if not self._connected(filler, 0.5):
                return self
        raise RuntimeError("the listen queue of port %d does not fill" % self.port)

    @staticmethod
    def _connected(sock, timeout):
        import select
        _, writable, _ = select.select([], [sock], [], timeout)
        return bool(writable) and sock.getsockopt(socket.SOL_SOCKET, socket.SO_ERROR) == 0

    def stop(self):
        for s in self._fillers:
            s.close()
        self._fillers = []
        if self._sock is not None:
            self._sock.close()
            self._sock = None
