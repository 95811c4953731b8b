// Prints the text of every top-level text shape of a binary presentation as Apache POI reads it, one
// shape a line: the slide's number, a tab, and the text with its line ends written as \n. Shapes
// without text are left out. It makes the reference texts of tests/data/ppt (see make-fixtures.sh).
import java.io.FileInputStream;
import org.apache.poi.hslf.usermodel.HSLFShape;
import org.apache.poi.hslf.usermodel.HSLFSlide;
import org.apache.poi.hslf.usermodel.HSLFSlideShow;
import org.apache.poi.hslf.usermodel.HSLFTextShape;

public class PoiShapeTexts {
    public static void main(String[] args) throws Exception {
        try (HSLFSlideShow show = new HSLFSlideShow(new FileInputStream(args[0]))) {
            int number = 0;
            for (HSLFSlide slide : show.getSlides()) {
                ++number;
                for (HSLFShape shape : slide.getShapes()) {
                    if (!(shape instanceof HSLFTextShape))
                        continue;
                    final String text = ((HSLFTextShape) shape).getText();
                    if (text != null && !text.isEmpty())
                        System.out.println(number + "\t" + text.replace("\r", "\\n").replace("\n", "\\n"));
                }
            }
        }
    }
}
