#!/usr/bin/env node
// Generates the bundled map and sky data from public sources:
//   data/map4.dat               world outlines (Natural Earth through npm's world-atlas)
//   src/maps/SkyTablesData.cpp  bright stars and constellation lines (npm's d3-celestial)
//
// Usage (outside the repository, never commit node_modules):
//   mkdir -p /tmp/mapdata && cd /tmp/mapdata && npm install world-atlas d3-celestial topojson-client
//   node tools/data/make-map-data.js /tmp/mapdata/node_modules
"use strict";
const fs = require("fs");
const path = require("path");

const modules = path.resolve(process.argv[2] || "node_modules");
const root = path.resolve(__dirname, "..", "..");
const need = (p) => require(path.join(modules, p));
const topojson = need("topojson-client");

// ---------------------------------------------------------------- map4.dat
const RECORDS = 13680;
const TYPE_COAST = 1; // outline pen
const TYPE_BORDER = 3; // outline pen
const TYPE_WATER = 7; // water pen
const TYPE_PAD = 4; // never drawn

const land = need("world-atlas/land-50m.json");
const countries = need("world-atlas/countries-50m.json");

// Lines as arrays of [lon, lat] with their outline type.
const lines = [];
function AddRing(ring, type) {
    // Natural Earth closes polygons along the date line and the south pole; those edges are
    // not coastline, so the ring is cut there.
    let piece = [];
    for (let i = 0; i < ring.length; i++) {
        const p = ring[i];
        if (piece.length > 0) {
            const q = piece[piece.length - 1];
            const onDateLine = Math.abs(p[0]) > 179.99 && Math.abs(q[0]) > 179.99;
            const onPole = p[1] < -89.9 && q[1] < -89.9;
            if (onDateLine || onPole) {
                if (piece.length > 1) lines.push({ type, pts: piece });
                piece = [];
            }
        }
        piece.push(p);
    }
    if (piece.length > 1) lines.push({ type, pts: piece });
}
for (const f of topojson.feature(land, land.objects.land).features) {
    const polys = f.geometry.type === "Polygon" ? [f.geometry.coordinates] : f.geometry.coordinates;
    for (const poly of polys) poly.forEach((ring, i) => AddRing(ring, i === 0 ? TYPE_COAST : TYPE_WATER));
}
const borders = topojson.mesh(countries, countries.objects.countries, (a, b) => a !== b);
for (const l of borders.coordinates) lines.push({ type: TYPE_BORDER, pts: l });

// Douglas-Peucker in degrees, keeping both ends.
function Simplify(pts, tol) {
    if (pts.length < 3) return pts.slice();
    const keep = new Uint8Array(pts.length);
    keep[0] = keep[pts.length - 1] = 1;
    const stack = [[0, pts.length - 1]];
    while (stack.length) {
        const [a, b] = stack.pop();
        const [x1, y1] = pts[a];
        const [x2, y2] = pts[b];
        const dx = x2 - x1, dy = y2 - y1;
        const len = Math.hypot(dx, dy);
        let best = -1, bestD = 0;
        for (let i = a + 1; i < b; i++) {
            const [x, y] = pts[i];
            const d = len > 0 ? Math.abs(dy * (x - x1) - dx * (y - y1)) / len : Math.hypot(x - x1, y - y1);
            if (d > bestD) { bestD = d; best = i; }
        }
        if (best >= 0 && bestD > tol) {
            keep[best] = 1;
            stack.push([a, best], [best, b]);
        }
    }
    return pts.filter((_, i) => keep[i]);
}
function ToRecords(tol) {
    const recs = [];
    for (const l of lines) {
        const pts = Simplify(l.pts, tol);
        // Arc minutes, and drop points that round onto the previous one.
        const mins = [];
        for (const [lon, lat] of pts) {
            const m = [Math.round(lat * 60), Math.round(lon * 60)];
            const last = mins[mins.length - 1];
            if (!last || last[0] !== m[0] || last[1] !== m[1]) mins.push(m);
        }
        if (mins.length < 2) continue;
        mins.forEach((m, i) => recs.push([i === 0 ? l.type * 1000 : 0, m[0], m[1]]));
    }
    return recs;
}
let lo = 0.001, hi = 2.0;
for (let k = 0; k < 40; k++) {
    const mid = (lo + hi) / 2;
    if (ToRecords(mid).length > RECORDS) lo = mid; else hi = mid;
}
const recs = ToRecords(hi);
const used = recs.length;
while (recs.length < RECORDS) recs.push([TYPE_PAD * 1000, 0, 0]);
const buf = Buffer.alloc(RECORDS * 6);
recs.forEach((r, i) => r.forEach((v, j) => buf.writeInt16LE(v, i * 6 + j * 2)));
fs.writeFileSync(path.join(root, "data", "map4.dat"), buf);
console.log(`map4.dat: ${used} outline points (tolerance ${hi.toFixed(4)} deg), ${RECORDS - used} padding`);

// ---------------------------------------------------------------- sky tables
const stars = need("d3-celestial/data/stars.6.json").features
    .filter((f) => f.properties.mag <= 4.5)
    .map((f) => {
        const [lon, lat] = f.geometry.coordinates;
        return [((lon + 360) % 360) / 15, lat, f.properties.mag];
    })
    .sort((a, b) => a[2] - b[2] || a[0] - b[0]);
stars.push([16.292, 75.7485, 4.95]); // completes the Little Dipper

const segs = [];
for (const f of need("d3-celestial/data/constellations.lines.json").features) {
    const abbr = f.id.slice(0, 3).toUpperCase();
    for (const l of f.geometry.coordinates) {
        for (let i = 1; i < l.length; i++) {
            const end = (p) => [Math.round((((p[0] + 360) % 360) / 15) * 1000), Math.round(p[1] * 100)];
            segs.push([abbr, ...end(l[i - 1]), ...end(l[i])]);
        }
    }
}
const consts = new Set(segs.map((s) => s[0])).size;

const license = fs.readFileSync(path.join(modules, "d3-celestial", "LICENSE"), "utf8").trim();
let out = "";
out += "// Generated by tools/data/make-map-data.js from d3-celestial's star and constellation data.\n";
out += "// Do not edit by hand. Licence of the source data:\n//\n";
out += license.split(/\r?\n/).map((l) => ("// " + l).trimEnd()).join("\n") + "\n\n";
out += '#include "maps/SkyTables.h"\n\nnamespace corvane::maps {\n\n';
out += `// ${stars.length} stars to magnitude 4.5, brightest first: RA hours, Dec degrees, magnitude.\n`;
out += `const std::array<BrightStar, ${stars.length}> kBrightStars = {{\n`;
stars.forEach(([ra, dec, mag], i) => {
    const d = i === stars.length - 1 ? 4 : 3; // the Little Dipper row keeps its four decimals
    out += `    {${ra.toFixed(d)}, ${dec.toFixed(d)}, ${mag.toFixed(2)}},\n`;
});
out += "}};\n\n";
out += `// ${segs.length} segments of ${consts} constellations: RA in thousandths of hours, Dec in hundredths of degrees.\n`;
out += `const std::array<ConstellationSegment, ${segs.length}> kConstellationLines = {{\n`;
for (const s of segs) out += `    {"${s[0]}", ${s[1]}, ${s[2]}, ${s[3]}, ${s[4]}},\n`;
out += "}};\n\n}  // namespace corvane::maps\n";
fs.writeFileSync(path.join(root, "src", "maps", "SkyTablesData.cpp"), out);
console.log(`SkyTablesData.cpp: ${stars.length} stars, ${segs.length} segments, ${consts} constellations`);
