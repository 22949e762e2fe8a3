// Prints the share (0 to 1) of a PNG screenshot's pixels, right of column
// LEFT, that differ from the colour #rrggbb given by more than a little in
// any channel. Reads the 8-bit RGB and RGBA PNGs that browsers write;
// node's zlib inflates.
//   node screenshot_share.js shot.png dfe6ee LEFT
'use strict';
const fs = require('fs');
const zlib = require('zlib');

const png = fs.readFileSync(process.argv[2]);
const background = parseInt(process.argv[3], 16);
const left = parseInt(process.argv[4] || '0', 10);
const want = [(background >> 16) & 255, (background >> 8) & 255, background & 255];
let width = 0, height = 0, channels = 0;
const data = [];
for (let at = 8; at < png.length;) {
  const length = png.readUInt32BE(at), type = png.toString('latin1', at + 4, at + 8);
  const body = png.subarray(at + 8, at + 8 + length);
  if (type === 'IHDR') {
    width = body.readUInt32BE(0);
    height = body.readUInt32BE(4);
    if (body[8] !== 8 || body[12] !== 0 || (body[9] !== 2 && body[9] !== 6))
      throw new Error('only 8-bit RGB or RGBA PNGs without interlacing');
    channels = body[9] === 6 ? 4 : 3;
  } else if (type === 'IDAT') {
    data.push(body);
  }
  at += 12 + length;
}
const raw = zlib.inflateSync(Buffer.concat(data));
const stride = width * channels;
const previous = Buffer.alloc(stride), row = Buffer.alloc(stride);
let differing = 0;
for (let y = 0; y < height; y++) {
  const filter = raw[y * (stride + 1)];
  for (let x = 0; x < stride; x++) {
    const v = raw[y * (stride + 1) + 1 + x];
    const a = x >= channels ? row[x - channels] : 0, b = previous[x];
    const c = x >= channels ? previous[x - channels] : 0;
    let predicted = 0;
    if (filter === 1) predicted = a;
    else if (filter === 2) predicted = b;
    else if (filter === 3) predicted = (a + b) >> 1;
    else if (filter === 4) {
      const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
      predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
    }
    row[x] = (v + predicted) & 255;
  }
  for (let x = left; x < width; x++) {
    const p = x * channels;
    if (Math.abs(row[p] - want[0]) > 8 || Math.abs(row[p + 1] - want[1]) > 8 || Math.abs(row[p + 2] - want[2]) > 8)
      differing++;
  }
  row.copy(previous);
}
console.log((differing / (Math.max(width - left, 1) * height)).toFixed(4));
