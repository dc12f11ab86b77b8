#!/usr/bin/env python3
"""Feeds the bridge host malformed messages between good ones and checks that each gets its answer
in order, that standard output carries nothing but framed JSON (the plug-in's prints go elsewhere),
and that the host ends cleanly when the stream ends in the middle of a message.
With --register (Linux), also `vexo-bridge --check` after the registration script ran in a home
with two browsers: ready where registered, a host beside a broken plug-in, and nothing once removed.
    host_garbage_test.py [--report JUNIT.xml] [--register SCRIPT] HOST-COMMAND...
"""
import json, os, shutil, struct, subprocess, sys, tempfile

def frame(body):
    data = body if isinstance(body, bytes) else json.dumps(body).encode()
    return struct.pack('=I', len(data)) + data

def call(i, method, *args, obj=1):
    return {"id": i, "op": "call", "object": obj, "method": method, "args": list(args)}

OVER = 1024 * 1024 + 1
# (what is sent, the answer expected: a result text, None for no value, or "!error text")
CASES = [
    (frame({"id": 1, "op": "open", "object": 1}), None),
    (frame(call(2, "")), "FOO RETURN VALUE !3"),
    (struct.pack('=I', 0), "!an empty message"),
    (struct.pack('=I', OVER) + b'x' * OVER, "!a message over 1 MB"),
    (frame(b'{"id": 3, "op": "call"'), "!the message is not JSON"),
    (frame(b'{"id": 4, "op": "call", "object": 1, "method": "MV_init", "args": ["\xff"]}'), "!the message is not JSON"),
    (frame(b'[' * 100 + b']' * 100), "!the message is not JSON"),
    (frame([1, 2]), "!a request is a JSON object"),
    (frame({"id": [5], "op": "open", "object": 2}), '!"id" is not an integer or a string'),
    (frame({"id": 6, "op": "open", "object": "1"}), '!"object" is not a positive integer'),
    (frame({"id": 7, "op": "delete", "object": 1}), '!"op" is not one of "open", "call", "close", "status"'),
    (frame(call(8, "MV_getdata", 5)), '!"args" is not an array of at most three strings'),
    (frame(call(9, "MV_setdata", "a", "b", "c", "d")), '!"args" is not an array of at most three strings'),
    (frame(call(10, "MV_nothing")), "!unknown method"),
    (frame(call(11, "MV_init\u0000x")), "!unknown method"),
    (frame(call("twelve", "MV_getdata", "res_cd", obj=2)), "!unknown object"),
    (frame({"id": 13, "op": "open", "object": 1}), "!the object is already open"),
    (frame(call(14, "MV_init", "BridgeGarbage")), None),
    (frame(call(15, "MV_getdata", "res_cd")), ""),
    (frame({"id": 16, "op": "close", "object": 1}), None),
    (frame(call(17, "MV_getdata", "res_cd")), "!unknown object"),
]

def request_id(sent):
    try:
        request = json.loads(sent[4:].decode('utf-8'))
    except ValueError:
        return None
    value = request.get('id') if isinstance(request, dict) else None
    return value if isinstance(value, (int, str)) else None

def write_report(path, cases):
    failed = sum(1 for _, failures in cases if failures)
    body = ''.join('    <testcase name="%s" classname="bridge_host_garbage">%s</testcase>\n' %
                   (name, '<failure message="see the test output"/>' if failures else '') for name, failures in cases)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'w') as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<testsuites tests="%d" failures="%d" errors="0" '
                'name="bridge_host_garbage">\n  <testsuite name="bridge_host_garbage" tests="%d" failures="%d">\n'
                '%s  </testsuite>\n</testsuites>\n' % (len(cases), failed, len(cases), failed, body))

def check_lines(host, home):
    run = subprocess.run([host, '--check'], stdout=subprocess.PIPE, env=dict(os.environ, HOME=home), timeout=60,
                         universal_newlines=True)
    print(run.stdout, end='')
    return run.returncode, dict(line.split(': ', 1) for line in run.stdout.splitlines())

def check_case(host, register):
    """--check as the registration script leaves a home with Chrome and Vivaldi (no Chromium)."""
    failures = []
    def expect(what, ok):
        if not ok:
            failures.append(what)
    folder = os.path.dirname(os.path.abspath(host))
    with tempfile.TemporaryDirectory() as home:
        env = dict(os.environ, HOME=home)
        env.pop('XDG_CONFIG_HOME', None)
        for browser in ('google-chrome', 'vivaldi'):
            os.makedirs(os.path.join(home, '.config', browser))
        subprocess.run([register, '--host', host], env=env, check=True)
        status, lines = check_lines(host, home)
        plugin = os.path.join(folder, 'zoRozoridEverid.so')
        for browser in ('Chrome', 'Vivaldi'):
            expect('%s is ready' % browser, lines.get(browser, '').startswith('ready; registered at %s/.config/' % home)
                   and 'plug-in %s loads; extensions ' % plugin in lines[browser])
        expect('Chromium is neither found nor registered', lines.get('Chromium', '').startswith('browser not found; nothing at')
               and not os.path.exists(os.path.join(home, '.config', 'chromium')))
        expect('exit status 0 with a ready browser', status == 0)
        # A host whose plug-in is not a library: found, but it does not load.
        broken = os.path.join(home, 'broken')
        os.makedirs(broken)
        shutil.copy(host, broken)
        with open(os.path.join(broken, 'zoRozoridEverid.so'), 'w') as f:
            f.write('not a library')
        subprocess.run([register, '--host', os.path.join(broken, 'vexo-bridge')], env=env, check=True)
        status, lines = check_lines(host, home)
        expect('a broken plug-in does not load', lines.get('Chrome', '').startswith('plug-in does not load'))
        expect('exit status 1 with a broken plug-in', status == 1)
        subprocess.run([register, '--remove'], env=env, check=True)
        status, lines = check_lines(host, home)
        expect('nothing registered after --remove', lines.get('Chrome', '').startswith('not registered; ') and status == 1)
    for f in failures:
        print('host_garbage_test: --check: not as expected: ' + f)
    return failures

def main():
    args = sys.argv[1:]
    report = register = None
    if args[:1] == ['--report']:
        report, args = args[1], args[2:]
    if args[:1] == ['--register']:
        register, args = args[1], args[2:]
    stream = b''.join(sent for sent, _ in CASES) + struct.pack('=I', 100) + b'{"id": 18'  # cut short
    run = subprocess.run(args, input=stream, stdout=subprocess.PIPE, timeout=120)
    out, answers = run.stdout, []
    while len(out) >= 4:
        (length,) = struct.unpack('=I', out[:4])
        answers.append(json.loads(out[4:4 + length].decode('utf-8')))
        out = out[4 + length:]
    failures = []
    if out:
        failures.append('stdout holds %d bytes that are not a message: %r' % (len(out), out[:80]))
    if run.returncode != 0:
        failures.append('the host exited with %d' % run.returncode)
    if len(answers) != len(CASES):
        failures.append('%d answers for %d messages' % (len(answers), len(CASES)))
    for n, ((sent, want), got) in enumerate(zip(CASES, answers)):
        expected = ({"error": want[1:]} if want is not None and want.startswith('!') else
                    {} if want is None else {"result": want})
        expected["id"] = request_id(sent) if len(sent) > 4 and not want == "!a message over 1 MB" else None
        if got != expected:
            failures.append('message %d: answer %r, expected %r' % (n + 1, got, expected))
    for f in failures:
        print('host_garbage_test: ' + f)
    print('host_garbage_test: %d messages, %d answers, %d faults' % (len(CASES), len(answers), len(failures)))
    cases = [('garbage', failures)]
    if register:
        cases.append(('check', check_case(args[0], register)))
    if report:
        write_report(report, cases)
    return 1 if any(f for _, f in cases) else 0

if __name__ == '__main__':
    sys.exit(main())
