// Source of extras-pptxgenjs.pptx (see make-fixtures.sh): speaker notes and tables as pptxgenjs writes
// them. Run with node from a folder where pptxgenjs is installed; the first argument is the output folder.
const PptxGenJS = require("pptxgenjs");
const out = process.argv[2] || ".";

async function deck() {
    const pptx = new PptxGenJS();

    // Slide 1: a title text box and notes of three paragraphs.
    const s1 = pptx.addSlide();
    s1.addText("Survey plan", { x: 0.5, y: 0.3, w: 9, h: 0.8, objectName: "Heading" });
    s1.addNotes("Start with the map.\nThen the route.\nEnd with the budget.");

    // Slide 2: only a table: 3 rows by 3 columns, an empty cell, a cell merged across two columns and
    // one merged across two rows.
    const s2 = pptx.addSlide();
    s2.addTable([
        [{ text: "Day" }, { text: "Place" }, { text: "Lead" }],
        [{ text: "Monday" }, { text: "" }, { text: "Ann", options: { rowspan: 2 } }],
        [{ text: "Tuesday and Wednesday", options: { colspan: 2 } }],
    ], { x: 0.5, y: 0.5, w: 9, objectName: "Schedule" });

    // Slide 3: a text box, a table with a two-paragraph cell, and notes.
    const s3 = pptx.addSlide();
    s3.addText("Costs", { x: 0.5, y: 0.3, w: 9, h: 0.8 });
    s3.addTable([
        [{ text: "Item" }, { text: "Cost" }],
        [{ text: [{ text: "Boat", options: { breakLine: true } }, { text: "with driver" }] }, { text: "300" }],
    ], { x: 0.5, y: 1.5, w: 6 });
    s3.addNotes("Prices from last year.");

    await pptx.writeFile({ fileName: `${out}/extras-pptxgenjs.pptx` });
}

deck().catch((error) => {
    console.error(error);
    process.exit(1);
});
