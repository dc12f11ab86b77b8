#!/usr/bin/env python3
"""The soak's pipe mode (tools/bench/soak.sh --pipe): whole payments through ONE bridge host
(vexo-bridge, natively or under Wine) on a pipe, as a browser page would make them, speaking the
line protocol of payment-demo to the soak script: "  MV_start took X ms" per payment, "pause N"
before every Nth payment and "stats payments=K rss_kb=.. handles=.. blocks=.. objects=.." (what the
host process holds, asked with VEXO_BRIDGE_STATS) every Mth, each waiting for a "go" line.
    bridge_pipe_driver.py HOST-COMMAND... [--product NAME] [--payments N] [--stats-every M]
                          [--pause-every P] [--quiet]
Every other argument belongs to the host command.
"""
import json, os, struct, subprocess, sys, time

def main():
    options = {'--product': 'VexoSoak', '--payments': '1', '--stats-every': '0', '--pause-every': '0'}
    command, args = [], sys.argv[1:]
    while args:
        word = args.pop(0)
        if word in options and args:
            options[word] = args.pop(0)
        elif word != '--quiet':
            command.append(word)
    product, payments = options['--product'], int(options['--payments'])
    stats_every, pause_every = int(options['--stats-every']), int(options['--pause-every'])
    host = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            env=dict(os.environ, VEXO_BRIDGE_STATS='1'))
    next_id = [0]

    def send(body):
        data = json.dumps(body).encode()
        host.stdin.write(struct.pack('=I', len(data)) + data)
        host.stdin.flush()
        head = host.stdout.read(4)
        if len(head) < 4:
            sys.exit('bridge_pipe_driver: the host ended')
        (length,) = struct.unpack('=I', head)
        answer = json.loads(host.stdout.read(length))
        if 'error' in answer:
            sys.exit('bridge_pipe_driver: %s answered %s' % (json.dumps(body), answer['error']))
        return answer.get('result')

    def call(method, *args):
        next_id[0] += 1
        return send({'id': next_id[0], 'op': 'call', 'object': 1, 'method': method, 'args': list(args)})

    def wait_go():
        if not sys.stdin.readline():
            sys.exit(1)

    def stats(payments):
        host_status = ''
        try:  # the host's Unix process (under Wine, the Windows program's)
            rss = [l.split()[1] for l in open('/proc/%d/status' % host.pid) if l.startswith('VmRSS:')][0]
            host_status = ' host_unix_rss_kb=%s host_unix_fds=%d' % (rss, len(os.listdir('/proc/%d/fd' % host.pid)))
        except (OSError, IndexError):
            pass
        print('stats payments=%d %s%s' % (payments, send('stats'), host_status), flush=True)
        if pause_every:
            wait_go()

    next_id[0] += 1
    # The page's origin, as the extension names it: the test gateway's, which the build lists.
    send({'id': next_id[0], 'op': 'open', 'object': 1, 'origin': 'http://127.0.0.1:18080'})
    all_paid = True
    if stats_every:
        stats(0)
    for n in range(1, payments + 1):
        if pause_every and n % pause_every == 0:
            print('pause %d' % n, flush=True)
            wait_go()
        call('MV_init', product)
        call('MV_setdata', 'Config', 'gw_url', '127.0.0.1')
        call('MV_setdata', 'Config', 'update_addr', 'http://127.0.0.1:18080/plugin/file')
        call('MV_setdata', 'Order', 'order_id', 'DEMO-%d' % n)
        call('MV_setdata', 'Order', 'amount', '15000')
        call('MV_setdata', 'Order', 'goods', 'Vexo demo ticket')
        start = time.perf_counter()
        answer = call('MV_start')
        took = (time.perf_counter() - start) * 1000
        call('MV_getdata', 'res_cd')
        call('MV_getdata', 'res_msg')
        call('MV_clean')
        print('  MV_start took %.1f ms' % took, flush=True)
        all_paid = all_paid and answer == 'SUCC'
        if stats_every and n % stats_every == 0:
            stats(n)
    host.stdin.close()
    if host.wait() != 0:  # e.g. LeakSanitizer's report in the sanitizer build
        print('bridge_pipe_driver: the host ended with status %d' % host.returncode, flush=True)
        return 1
    return 0 if all_paid else 1

if __name__ == '__main__':
    sys.exit(main())
