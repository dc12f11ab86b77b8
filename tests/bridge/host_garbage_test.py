#!/usr/bin/env python3
"""Feeds the bridge host malformed messages between good ones and checks that each gets its answer
in order, that standard output carries nothing but framed JSON (the plug-in's prints go elsewhere),
and that the host ends cleanly when the stream ends in the middle of a message.
    host_garbage_test.py [--report JUNIT.xml] HOST-COMMAND...
"""
import json, struct, subprocess, sys

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

def write_report(path, failures):
    failed = 1 if failures else 0
    body = '<failure message="see the test output"/>' if failed else ''
    with open(path, 'w') as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<testsuites tests="1" failures="%d" errors="0" '
                'name="bridge_host_garbage">\n  <testsuite name="bridge_host_garbage" tests="1" failures="%d">\n'
                '    <testcase name="garbage" classname="bridge_host_garbage">%s</testcase>\n  </testsuite>\n'
                '</testsuites>\n' % (failed, failed, body))

def main():
    args = sys.argv[1:]
    report = None
    if args[:1] == ['--report']:
        report, args = args[1], args[2:]
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
    if report:
        write_report(report, failures)
    return 1 if failures else 0

if __name__ == '__main__':
    sys.exit(main())
