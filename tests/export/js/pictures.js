// Judges pictures of exported models, for scripts/check-export.sh:
//   node pictures.js size PNG                 -> "WIDTH HEIGHT"
//   node pictures.js info GLB                 -> triangle count and the box of their corners
//   node pictures.js overlap A.png B.png GLB  -> how far the silhouettes agree (exit 1 under 0.95)
//   node pictures.js redcyan ANAGLYPH.png MONO.png -> whether the anaglyph splits the model into red and cyan
'use strict';
const fs = require('fs');
const { PNG } = require('pngjs');

function read(file) { return PNG.sync.read(fs.readFileSync(file)); }

function glb(file) {
  const bytes = fs.readFileSync(file);
  const jsonLength = bytes.readUInt32LE(12);
  const doc = JSON.parse(bytes.subarray(20, 20 + jsonLength).toString('utf8'));
  const binStart = 20 + jsonLength + 8;
  return { doc, bin: bytes.subarray(binStart) };
}

function info(file) {
  const { doc } = glb(file);
  let triangles = 0;
  const low = [Infinity, Infinity, Infinity], high = [-Infinity, -Infinity, -Infinity];
  for (const p of doc.meshes[0].primitives) {
    if (p.mode !== 4) continue;
    const a = doc.accessors[p.attributes.POSITION];
    triangles += a.count / 3;
    for (let i = 0; i < 3; i++) { low[i] = Math.min(low[i], a.min[i]); high[i] = Math.max(high[i], a.max[i]); }
  }
  return { triangles, low, high, background: (doc.scenes[0].extras || {}).background || [1, 1, 1] };
}

// The pixels unlike the background: the model's silhouette.
function mask(png, background) {
  const bg = background.map((v) => Math.round(v * 255));
  const m = new Uint8Array(png.width * png.height);
  for (let i = 0; i < m.length; i++) {
    const d = Math.max(Math.abs(png.data[4 * i] - bg[0]), Math.abs(png.data[4 * i + 1] - bg[1]),
                       Math.abs(png.data[4 * i + 2] - bg[2]));
    m[i] = d > 24 ? 1 : 0;
  }
  return m;
}

// Whether a silhouette pixel lies within reach pixels of (x, y).
function near(m, w, h, x, y, reach) {
  for (let dy = -reach; dy <= reach; dy++)
    for (let dx = -reach; dx <= reach; dx++) {
      const X = x + dx, Y = y + dy;
      if (X >= 0 && Y >= 0 && X < w && Y < h && m[Y * w + X]) return true;
    }
  return false;
}

// The share of both silhouettes' pixels that the other one covers within
// two pixels: edges rasterised a pixel apart and one-pixel lines still agree.
function overlap(a, b, background) {
  const A = read(a), B = read(b);
  if (A.width !== B.width || A.height !== B.height) throw new Error(`${a} and ${b} differ in size`);
  const w = A.width, h = A.height, ma = mask(A, background), mb = mask(B, background);
  let covered = 0, total = 0;
  for (let y = 0; y < h; y++)
    for (let x = 0; x < w; x++) {
      const i = y * w + x;
      if (ma[i]) { total++; covered += near(mb, w, h, x, y, 2) ? 1 : 0; }
      if (mb[i]) { total++; covered += near(ma, w, h, x, y, 2) ? 1 : 0; }
    }
  return total ? covered / total : 1;
}

// Red pixels (the left eye alone) and cyan ones (the right eye alone).
function redcyan(file) {
  const png = read(file);
  let red = 0, cyan = 0;
  for (let i = 0; i < png.width * png.height; i++) {
    const r = png.data[4 * i], g = png.data[4 * i + 1], b = png.data[4 * i + 2];
    if (r > 80 && g < r / 3 && b < r / 3) red++;
    if (g > 80 && b > 80 && r < Math.min(g, b) / 3) cyan++;
  }
  return { red, cyan };
}

const [command, ...args] = process.argv.slice(2);
if (command === 'size') {
  const png = read(args[0]);
  console.log(`${png.width} ${png.height}`);
} else if (command === 'info') {
  const i = info(args[0]);
  console.log(`${i.triangles} ${i.low.join(' ')} ${i.high.join(' ')}`);
} else if (command === 'overlap') {
  const share = overlap(args[0], args[1], info(args[2]).background);
  console.log(`silhouettes agree on ${(100 * share).toFixed(1)} %`);
  process.exit(share >= 0.95 ? 0 : 1);
} else if (command === 'redcyan') {
  const anaglyph = redcyan(args[0]), mono = redcyan(args[1]);
  console.log(`anaglyph: ${anaglyph.red} red and ${anaglyph.cyan} cyan pixels; 3D view: ${mono.red} and ${mono.cyan}`);
  process.exit(anaglyph.red > 200 && anaglyph.cyan > 200 && mono.red + mono.cyan < 50 ? 0 : 1);
} else {
  console.error('usage: pictures.js size|info|overlap|redcyan ...');
  process.exit(2);
}
