#!/usr/bin/env node
// A stand-in for the bridge, for the browser benchmarks only: it speaks the
// bridge's framing (32-bit length, native byte order, then JSON) to the
// extension and relays between it and a controller on the Unix socket named
// in VGWL_STANDIN_SOCKET: each JSON line from the controller goes to the
// extension, each message from the extension goes to the controller as a line.
import net from 'node:net';

const socketPath = process.env.VGWL_STANDIN_SOCKET;
const controller = net.createConnection(socketPath);
controller.on('error', () => process.exit(1));
controller.on('close', () => process.exit(0));

function send(message) {
  const body = Buffer.from(JSON.stringify(message), 'utf8');
  const head = Buffer.alloc(4);
  head.writeUInt32LE(body.length);
  process.stdout.write(Buffer.concat([head, body]));
}

let lines = '';
controller.on('data', (chunk) => {
  lines += chunk.toString('utf8');
  for (let end; (end = lines.indexOf('\n')) >= 0; lines = lines.slice(end + 1)) {
    if (end > 0) send(JSON.parse(lines.slice(0, end)));
  }
});

let input = Buffer.alloc(0);
process.stdin.on('data', (chunk) => {
  input = Buffer.concat([input, chunk]);
  while (input.length >= 4 && input.length >= 4 + input.readUInt32LE(0)) {
    const length = input.readUInt32LE(0);
    controller.write(`${input.subarray(4, 4 + length).toString('utf8')}\n`);
    input = input.subarray(4 + length);
  }
});
process.stdin.on('end', () => process.exit(0));
