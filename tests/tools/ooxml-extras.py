#!/usr/bin/python3
"""A second, independent reading of the SmartArt, chart, comment and picture texts of .pptx packages,
with only the standard library, to check quorvane-cli against:

    tests/tools/ooxml-extras.py DECK.pptx...  |  diff - <(quorvane-cli text --json \\
        --include groups,smartart,charts,comments,alt DECK.pptx... | tests/tools/ooxml-extras.py --from-json)

Each item is printed as one line: path, slide, hidden flag, kind, name and text (CR shown as \\r).
"""
import json
import posixpath
import sys
import zipfile
import xml.etree.ElementTree as ET

P = "{http://schemas.openxmlformats.org/presentationml/2006/main}"
A = "{http://schemas.openxmlformats.org/drawingml/2006/main}"
R = "{http://schemas.openxmlformats.org/officeDocument/2006/relationships}"
DGM = "{http://schemas.openxmlformats.org/drawingml/2006/diagram}"
C = "{http://schemas.openxmlformats.org/drawingml/2006/chart}"
P188 = "{http://schemas.microsoft.com/office/powerpoint/2018/8/main}"
RELS = "{http://schemas.openxmlformats.org/package/2006/relationships}"
KINDS = ("smartart", "chart", "comment", "alt")


def rels(z, part):
    folder, name = posixpath.split(part)
    path = posixpath.join(folder, "_rels", name + ".rels")
    if path not in z.namelist():
        return []
    out = []
    for r in ET.fromstring(z.read(path)).iter(RELS + "Relationship"):
        if r.get("TargetMode") == "External":
            continue
        target = r.get("Target")
        target = target[1:] if target.startswith("/") else posixpath.join(folder, target)
        out.append((r.get("Id"), r.get("Type"), posixpath.normpath(target)))
    return out


def body_text(element):
    paragraphs = []
    for p in element.findall(A + "p"):
        text = ""
        for child in p:
            if child.tag in (A + "r", A + "fld"):
                text += "".join(t.text or "" for t in child.findall(A + "t"))
            elif child.tag == A + "br":
                text += "\v"
        paragraphs.append(text)
    return "\r".join(paragraphs)


def diagram(root):
    points = {pt.get("modelId"): pt for pt in root.iter(DGM + "pt")}
    children = {}
    for cxn in root.iter(DGM + "cxn"):
        if cxn.get("type", "parOf") == "parOf":
            children.setdefault(cxn.get("srcId"), []).append((int(cxn.get("srcOrd", "0")), cxn.get("destId")))
    doc = next((i for i, pt in points.items() if pt.get("type") == "doc"), None)
    texts, seen, stack = [], set(), [doc] if doc else []
    while stack:
        point = stack.pop()
        if point in seen:
            continue
        seen.add(point)
        pt = points.get(point)
        if pt is not None and pt.get("type", "node") in ("node", "asst") and pt.find(DGM + "t") is not None:
            text = body_text(pt.find(DGM + "t"))
            if text:
                texts.append(text)
        for _, child in reversed(sorted(children.get(point, []), key=lambda c: c[0])):
            stack.append(child)
    return texts


def tx_text(tx):
    rich = tx.find(C + "rich")
    if rich is not None:
        return body_text(rich)
    return " ".join(v.text or "" for v in tx.iter(C + "v"))


def chart(root):
    texts = []
    ch = root.find(C + "chart")
    if ch is None:
        return texts
    title = ch.find(C + "title/" + C + "tx")
    if title is not None:
        texts.append(tx_text(title))
    plot = ch.find(C + "plotArea")
    axes = []
    for child in plot if plot is not None else []:
        local = child.tag[len(C):]
        if local.endswith("Chart"):
            for ser in child.findall(C + "ser"):
                tx = ser.find(C + "tx")
                if tx is not None:
                    texts.append(tx_text(tx))
        elif local in ("catAx", "valAx", "dateAx", "serAx"):
            tx = child.find(C + "title/" + C + "tx")
            if tx is not None:
                axes.append(tx_text(tx))
    return [t for t in texts + axes if t]


def read(path):
    items = []
    with zipfile.ZipFile(path) as z:
        main = next(t for _, ty, t in rels(z, "") if ty.endswith("/officeDocument"))
        main_rels = {i: t for i, _, t in rels(z, main)}
        authors = {}
        for _, ty, target in rels(z, main):
            if ty.endswith("/commentAuthors") or ty.endswith("/authors"):
                for a in ET.fromstring(z.read(target)):
                    authors[a.get("id")] = a.get("name")
        pres = ET.fromstring(z.read(main))
        for number, sld in enumerate(pres.find(P + "sldIdLst"), 1):
            part = main_rels[sld.get(R + "id")]
            root = ET.fromstring(z.read(part))
            hidden = root.get("show") in ("0", "false")
            slide_rels = {i: t for i, _, t in rels(z, part)}

            def add(kind, name, text):
                items.append((path, number, hidden, kind, name, text))

            def walk(tree):
                for shape in tree:
                    if shape.tag == P + "grpSp":
                        walk(shape)
                    elif shape.tag == P + "pic":
                        pr = shape.find(P + "nvPicPr/" + P + "cNvPr")
                        add("alt", pr.get("name", ""), pr.get("descr", ""))
                    elif shape.tag == P + "graphicFrame":
                        name = shape.find(P + "nvGraphicFramePr/" + P + "cNvPr").get("name", "")
                        data = shape.find(A + "graphic/" + A + "graphicData")
                        ids = data.find(DGM + "relIds")
                        ref = data.find(C + "chart")
                        try:
                            if ids is not None:
                                for t in diagram(ET.fromstring(z.read(slide_rels[ids.get(R + "dm")]))):
                                    add("smartart", name, t)
                            elif ref is not None:
                                for t in chart(ET.fromstring(z.read(slide_rels[ref.get(R + "id")]))):
                                    add("chart", name, t)
                        except (KeyError, ET.ParseError):
                            pass

            walk(root.find(P + "cSld/" + P + "spTree"))
            for _, ty, target in rels(z, part):
                if ty.endswith("relationships/comments") and target in z.namelist():
                    cm_root = ET.fromstring(z.read(target))
                    for cm in cm_root.findall(P + "cm"):
                        add("comment", "", (cm.findtext(P + "text") or "").replace("\n", "\r"))
                    for cm in cm_root.findall(P188 + "cm"):
                        for item in [cm] + cm.findall(P188 + "replyLst/" + P188 + "reply"):
                            add("comment", "", body_text(item.find(P188 + "txBody")))
    return items


def show(items):
    for path, slide, hidden, kind, name, text in items:
        print(json.dumps([path, slide, hidden, kind, name, text], ensure_ascii=False))


if __name__ == "__main__":
    if sys.argv[1:] == ["--from-json"]:
        for line in sys.stdin:
            o = json.loads(line)
            if o.get("kind") in KINDS:
                show([(o["path"], o["slide"], o.get("hidden", False), o["kind"], o["name"], o["text"])])
    else:
        for path in sys.argv[1:]:
            show(read(posixpath.abspath(path)))
