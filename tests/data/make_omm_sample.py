#!/usr/bin/env python3
"""Writes omm-sample.tle and the same objects as OMM CSV and OMM XML (the form element services
publish: values as decimal text, epoch as ISO 8601 with microseconds). One object is renumbered
100000 ("A0000") to carry an Alpha-5 number. Run from tests/data."""
import datetime

PICK = ["07530", "14781", "25544"]
lines = open("catalogue-2017-04-27.tle", encoding="latin-1").read().splitlines()
groups = [lines[i:i + 3] for i in range(0, len(lines) - 2, 3)]
chosen = [g for g in groups if g[1][2:7] in PICK]
deep = next(g for g in groups if float(g[2][52:63]) < 2.0)
chosen.append(deep)


def checksum(line):
    return str(sum(int(c) if c.isdigit() else (1 if c == "-" else 0) for c in line[:68]) % 10)


alpha = [groups[10][0], groups[10][1], groups[10][2]]
alpha[1] = "1 A0000" + alpha[1][7:68]
alpha[1] += checksum(alpha[1])
alpha[2] = "2 A0000" + alpha[2][7:68]
alpha[2] += checksum(alpha[2])
chosen.append(alpha)


def expo(field):  # " 12345-3" -> decimal text
    mant = field[0:6].replace(" ", "") or "0"
    sign = "-" if mant.startswith("-") else ""
    digits = mant.lstrip("+-")
    value = float("0." + digits) * 10 ** int(field[6:8])
    return f"{sign}{value:.5g}" if float(digits) else "0"


def fields(g):
    l1, l2 = g[1], g[2]
    yy = int(l1[18:20])
    year = 1900 + yy if yy >= 57 else 2000 + yy
    day = float(l1[20:32])
    epoch = datetime.datetime(year, 1, 1) + datetime.timedelta(days=day - 1)
    num = l1[2:7]
    norad = 100000 + int(num[1:]) if num[0].isalpha() else int(num)
    ly = int(l1[9:11])
    obj_id = f"{1900 + ly if ly >= 57 else 2000 + ly}-{l1[11:14]}{l1[14:17].strip()}"
    return {
        "OBJECT_NAME": g[0].strip(), "OBJECT_ID": obj_id,
        "EPOCH": epoch.strftime("%Y-%m-%dT%H:%M:%S.%f"),
        "MEAN_MOTION": l2[52:63].strip(), "ECCENTRICITY": "." + l2[26:33],
        "INCLINATION": l2[8:16].strip(), "RA_OF_ASC_NODE": l2[17:25].strip(),
        "ARG_OF_PERICENTER": l2[34:42].strip(), "MEAN_ANOMALY": l2[43:51].strip(),
        "EPHEMERIS_TYPE": l1[62], "CLASSIFICATION_TYPE": l1[7], "NORAD_CAT_ID": str(norad),
        "ELEMENT_SET_NO": l1[64:68].strip(), "REV_AT_EPOCH": l2[63:68].strip(),
        "BSTAR": expo(l1[53:61]), "MEAN_MOTION_DOT": l1[33:43].strip(),
        "MEAN_MOTION_DDOT": expo(l1[44:52]),
    }


keys = list(fields(chosen[0]).keys())
with open("omm-sample.tle", "w", newline="") as f:
    for g in chosen:
        f.write("\r\n".join(g) + "\r\n")
with open("omm-sample.csv", "w", newline="") as f:
    f.write(",".join(keys) + "\r\n")
    for g in chosen:
        v = fields(g)
        f.write(",".join('"' + v[k] + '"' if "," in v[k] else v[k] for k in keys) + "\r\n")
with open("omm-sample.xml", "w", newline="") as f:
    f.write('<?xml version="1.0" encoding="UTF-8"?>\n<ndm xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">\n')
    for g in chosen:
        v = fields(g)
        meta = "".join(f"<{k}>{v[k]}</{k}>" for k in ["OBJECT_NAME", "OBJECT_ID"])
        meta += "<CENTER_NAME>EARTH</CENTER_NAME><REF_FRAME>TEME</REF_FRAME><TIME_SYSTEM>UTC</TIME_SYSTEM>"
        mean = "".join(f"<{k}>{v[k]}</{k}>" for k in keys[2:9])
        tle = "".join(f"<{k}>{v[k]}</{k}>" for k in keys[9:])
        f.write(f'<omm id="CCSDS_OMM_VERS" version="2.0"><header><CREATION_DATE/></header><body><segment>'
                f"<metadata>{meta}</metadata><data><meanElements>{mean}</meanElements>"
                f"<tleParameters>{tle}</tleParameters></data></segment></body></omm>\n")
    f.write("</ndm>\n")
