// Source of pptxgenjs-deck.pptx and pptxgenjs-empty.pptx (see make-fixtures.sh). Run with node from a
// folder where pptxgenjs is installed; the first argument is the output folder.
const PptxGenJS = require("pptxgenjs");
const out = process.argv[2] || ".";
const png = "image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAQAAAAECAIAAAAmkwkpAAAAEElEQVR4nGP4z8AARwzEcQCukw/x0F8jngAAAABJRU5ErkJggg==";

async function deck() {
    const pptx = new PptxGenJS();
    pptx.defineSlideMaster({
        title: "WITH_BODY",
        objects: [
            { placeholder: { options: { name: "heading", type: "title", x: 0.5, y: 0.2, w: 9, h: 0.8 }, text: "" } },
            { placeholder: { options: { name: "body", type: "body", x: 0.5, y: 1.2, w: 9, h: 3 }, text: "" } },
        ],
    });

    // Slide 1: placeholders (one left empty) and text boxes.
    const s1 = pptx.addSlide({ masterName: "WITH_BODY" });
    s1.addText("Agenda", { placeholder: "heading" });
    s1.addText("", { placeholder: "body" });
    s1.addText([
        { text: "First point", options: { breakLine: true } },
        { text: "Second point", options: { breakLine: true } },
        { text: "Third point" },
    ], { x: 0.5, y: 4.5, w: 4, h: 1 });
    s1.addText([
        { text: "Before the break" },
        { text: "after the break", options: { softBreakBefore: true } },
    ], { x: 5, y: 4.5, w: 4, h: 1 });

    // Slide 2: a line, a picture and a shape holding text.
    const s2 = pptx.addSlide();
    s2.addShape(pptx.shapes.LINE, { x: 0.5, y: 0.5, w: 4, h: 0, line: { color: "000000", width: 2 } });
    s2.addImage({ data: png, x: 5, y: 0.5, w: 1, h: 1 });
    s2.addText("Qty\t12\tunits", { shape: pptx.shapes.RECTANGLE, x: 0.5, y: 2, w: 5, h: 1 });
    s2.addText("Ελληνικά, 中文, हिन्दी and 🎉", { x: 0.5, y: 3.5, w: 8, h: 1 });
    s2.addText("a¸b _x0041_ stays", { x: 0.5, y: 4.6, w: 8, h: 0.8 });

    // Slide 3: a table, which is not entered.
    const s3 = pptx.addSlide();
    s3.addTable([[{ text: "Cell 1" }, { text: "Cell 2" }]], { x: 0.5, y: 0.5, w: 6 });
    s3.addText("Below the table", { x: 0.5, y: 3, w: 6, h: 1 });

    // Slide 4: no shapes at all.
    pptx.addSlide();

    await pptx.writeFile({ fileName: out + "/pptxgenjs-deck.pptx" });
}

async function empty() {
    const pptx = new PptxGenJS();
    await pptx.writeFile({ fileName: out + "/pptxgenjs-empty.pptx" });
}

deck().then(empty).catch((error) => {
    console.error(error);
    process.exit(1);
});
