// Source of graphics-pptxgenjs.pptx (see make-fixtures.sh): charts, pictures with and without
// alternative text, and a hidden slide, as pptxgenjs writes them. Run with node from a folder where
// pptxgenjs is installed; the first argument is the output folder.
const PptxGenJS = require("pptxgenjs");
const out = process.argv[2] || ".";

// A 1×1 red PNG.
const red = "image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR4nGP4z8AAAAMBAQDJ/pLvAAAAAElFTkSuQmCC";

async function deck() {
    const pptx = new PptxGenJS();

    // Slide 1: a title, a bar chart with a title, two series and both axis titles, and a line chart
    // with no title of its own and one series.
    const s1 = pptx.addSlide();
    s1.addText("Sales", { x: 0.5, y: 0.2, w: 9, h: 0.6, objectName: "Heading" });
    s1.addChart(pptx.ChartType.bar, [
        { name: "North", labels: ["Q1", "Q2"], values: [3, 5] },
        { name: "South", labels: ["Q1", "Q2"], values: [4, 2] },
    ], {
        x: 0.5, y: 1, w: 4.5, h: 3.5, objectName: "Sales chart",
        showTitle: true, title: "Sales by region",
        showCatAxisTitle: true, catAxisTitle: "Quarter",
        showValAxisTitle: true, valAxisTitle: "Units",
    });
    s1.addChart(pptx.ChartType.line, [{ name: "Trend", labels: ["Q1", "Q2"], values: [1, 2] }],
        { x: 5.2, y: 1, w: 4.5, h: 3.5, objectName: "Trend chart" });

    // Slide 2: hidden; a text box and a picture with alternative text.
    const s2 = pptx.addSlide();
    s2.hidden = true;
    s2.addText("Backup figures", { x: 0.5, y: 0.2, w: 9, h: 0.6 });
    s2.addImage({ data: red, x: 1, y: 1, w: 1, h: 1, altText: "A red square", objectName: "Red square" });

    // Slide 3: a picture with alternative text of two lines, and a text box.
    const s3 = pptx.addSlide();
    s3.addImage({ data: red, x: 1, y: 1, w: 1, h: 1, altText: "Map of the site\nnorth at the top", objectName: "Map" });
    s3.addText("The end", { x: 0.5, y: 3, w: 9, h: 0.6 });

    await pptx.writeFile({ fileName: `${out}/graphics-pptxgenjs.pptx` });
}

deck().catch((error) => {
    console.error(error);
    process.exit(1);
});
