#!/usr/bin/env python3
# Writes the flat OpenDocument sources of the sample presentations (and their two small pictures)
# next to this script. make-samples.sh runs it and then turns the sources into .pptx.
import base64, os, struct, zlib

HERE = os.path.dirname(os.path.abspath(__file__))

def png(w, h, pix):
    raw = b''.join(b'\x00' + bytes(sum((pix(x, y) for x in range(w)), ())) for y in range(h))
    def chunk(t, d):
        return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))

def landscape(x, y):  # sky, hills and a sun
    if (x - 48) ** 2 + (y - 14) ** 2 < 49: return (250, 200, 60)
    if y > 30 + 6 * ((x / 16) % 2 - 0.5) ** 2 * 4: return (70, 140, 70)
    return (120, 180, 230)

def bars(x, y):  # a bar chart of four readings
    for bx, top in [(4, 20), (18, 12), (32, 26), (46, 8)]:
        if bx <= x < bx + 10 and y >= top: return (40, 90, 160)
    return (245, 245, 245)

PICTURES = {'land': png(64, 40, landscape), 'chart': png(60, 40, bars)}

HEAD='''<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:xlink="http://www.w3.org/1999/xlink"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 xmlns:presentation="urn:oasis:names:tc:opendocument:xmlns:presentation:1.0"
 xmlns:dc="http://purl.org/dc/elements/1.1/"
 xmlns:meta="urn:oasis:names:tc:opendocument:xmlns:meta:1.0"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.presentation">
 <office:meta><dc:title>%(title)s</dc:title><meta:initial-creator>Quorvane samples</meta:initial-creator></office:meta>
 <office:styles>
  <style:default-style style:family="graphic">
   <style:paragraph-properties fo:margin-top="0cm" fo:margin-bottom="0.2cm"/>
   <style:text-properties fo:font-family="Liberation Sans" fo:font-size="20pt"/>
  </style:default-style>
 </office:styles>
 <office:automatic-styles>
  <style:page-layout style:name="PM1">
   <style:page-layout-properties fo:margin-top="0cm" fo:margin-bottom="0cm" fo:margin-left="0cm" fo:margin-right="0cm" fo:page-width="28cm" fo:page-height="15.75cm" style:print-orientation="landscape"/>
  </style:page-layout>
  <style:style style:name="dp1" style:family="drawing-page"/>
  <style:style style:name="gr1" style:family="graphic">
   <style:graphic-properties draw:stroke="none" draw:fill="none" draw:auto-grow-height="false" fo:min-height="1cm"/>
  </style:style>
  <style:style style:name="P1" style:family="paragraph"><style:text-properties fo:font-size="32pt" fo:font-weight="bold"/></style:style>
  <style:style style:name="P2" style:family="paragraph"><style:text-properties fo:font-size="20pt"/></style:style>
  <style:style style:name="P3" style:family="paragraph"><style:paragraph-properties fo:margin-left="1.2cm"/><style:text-properties fo:font-size="18pt"/></style:style>
  <style:style style:name="P4" style:family="paragraph"><style:paragraph-properties fo:margin-left="2.4cm"/><style:text-properties fo:font-size="16pt"/></style:style>
  <style:style style:name="P5" style:family="paragraph">
   <style:paragraph-properties><style:tab-stops><style:tab-stop style:position="5cm"/><style:tab-stop style:position="10cm"/><style:tab-stop style:position="16cm"/></style:tab-stops></style:paragraph-properties>
   <style:text-properties fo:font-size="18pt"/>
  </style:style>
  <text:list-style style:name="L1">
   <text:list-level-style-bullet text:level="1" text:bullet-char="●"><style:list-level-properties text:space-before="0.3cm" text:min-label-width="0.9cm"/></text:list-level-style-bullet>
   <text:list-level-style-bullet text:level="2" text:bullet-char="–"><style:list-level-properties text:space-before="1.5cm" text:min-label-width="0.9cm"/></text:list-level-style-bullet>
   <text:list-level-style-bullet text:level="3" text:bullet-char="·"><style:list-level-properties text:space-before="2.7cm" text:min-label-width="0.9cm"/></text:list-level-style-bullet>
  </text:list-style>
 </office:automatic-styles>
 <office:master-styles>
  <style:master-page style:name="Default" style:page-layout-name="PM1" draw:style-name="dp1"/>
 </office:master-styles>
 <office:body>
  <office:presentation>
'''
TAIL='''  </office:presentation>
 </office:body>
</office:document>
'''
def esc(s): return s.replace('&','&amp;').replace('<','&lt;').replace('>','&gt;')
def inline(s):
    # "\t" becomes a tab, "\n" a line break inside the paragraph
    out=esc(s).replace('\t','<text:tab/>').replace('\n','<text:line-break/>')
    return out
def box(x,y,w,h,paras):
    body=''.join('<text:p text:style-name="%s">%s</text:p>'%(st,inline(t)) for st,t in paras)
    return ('    <draw:frame draw:style-name="gr1" svg:x="%scm" svg:y="%scm" svg:width="%scm" svg:height="%scm">'
            '<draw:text-box>%s</draw:text-box></draw:frame>\n')%(x,y,w,h,body)
def title(t): return box(1,0.6,26,2,[('P1',t)])
def bullets(x,y,w,h,items):
    # items: (level, text)
    def render(items, level):
        out='<text:list text:style-name="L1">' if level==1 else '<text:list>'
        i=0
        while i<len(items):
            lvl,t=items[i]
            out+='<text:list-item><text:p text:style-name="P2">%s</text:p>'%inline(t)
            j=i+1
            sub=[]
            while j<len(items) and items[j][0]>lvl:
                sub.append(items[j]); j+=1
            if sub: out+=render(sub, level+1)
            out+='</text:list-item>'
            i=j
        return out+'</text:list>'
    return ('    <draw:frame draw:style-name="gr1" svg:x="%scm" svg:y="%scm" svg:width="%scm" svg:height="%scm">'
            '<draw:text-box>%s</draw:text-box></draw:frame>\n')%(x,y,w,h,render(items,1))
def image(x,y,w,h,png,name):
    data=base64.b64encode(PICTURES[png]).decode()
    return ('    <draw:frame draw:name="%s" svg:x="%scm" svg:y="%scm" svg:width="%scm" svg:height="%scm">'
            '<draw:image><office:binary-data>%s</office:binary-data></draw:image>'
            '<svg:title>%s</svg:title></draw:frame>\n')%(name,x,y,w,h,data,name)
def table(x,y,w,h,rows):
    cols=len(rows[0])
    out='    <draw:frame svg:x="%scm" svg:y="%scm" svg:width="%scm" svg:height="%scm"><table:table>'%(x,y,w,h)
    out+='<table:table-column table:number-columns-repeated="%d"/>'%cols
    for r in rows:
        out+='<table:table-row>'+''.join('<table:table-cell><text:p>%s</text:p></table:table-cell>'%esc(c) for c in r)+'</table:table-row>'
    return out+'</table:table></draw:frame>\n'
def page(n,content): return '   <draw:page draw:name="Slide %d" draw:master-page-name="Default">\n%s   </draw:page>\n'%(n,''.join(content))
def doc(path,t,pages):
    open(path,'w',encoding='utf-8').write(HEAD%{'title':esc(t)}+''.join(page(i+1,p) for i,p in enumerate(pages))+TAIL)

S=HERE+'/'
doc(S+'Quarterly Review.fodp','Quarterly Review, Q3 2026',[
 [title('Quarterly Review, Q3 2026'),
  box(1,3,26,2,[('P2','Northwind Outdoor Supply, prepared by Finance, 14 October 2026')])],
 [title('Revenue by region'),
  bullets(1,3,26,10,[(1,'North: $1,284,500, up 12.4% on Q2'),(1,'South: $986,200, up 3.1%'),
   (1,'East: $1,102,750, down 2.8%'),(1,'West: $742,300, flat'),(1,'Total: $4,115,750, up 4.6%')])],
 [title('Costs and margin'),
  box(1,3,26,3,[('P2','Cost of goods: $2,471,900 | Operating costs: $903,400 | Margin: 18.0%')]),
  box(1,6.5,26,3,[('P2','Headcount 212, open positions 9, attrition 1.9%')])],
 [title('Outlook for Q4'),
  bullets(1,3,26,10,[(1,'Holiday season: target $1,450,000 in the North, $1,050,000 in the South'),
   (1,'Risks: freight rates, the new warehouse in Leeds, currency'),(1,'Next review: 13 January 2027')])],
])
doc(S+'Lecture 2 - Cell Biology.fodp','Lecture 2: The Cell',[
 [title('Lecture 2: The Cell'),
  box(1,3,26,3,[('P2','Introduction to Biology, autumn term\nDr. A. Okafor, Room B-104')])],
 [title('Parts of a eukaryotic cell'),
  bullets(1,3,26,11,[(1,'Nucleus'),(2,'holds the chromosomes'),(2,'surrounded by the nuclear envelope'),
   (1,'Mitochondria'),(2,'make ATP by cellular respiration'),(3,'inner membrane folded into cristae'),
   (1,'Ribosomes'),(2,'free in the cytoplasm or bound to the rough ER')])],
 [title('Key terms'),
  bullets(1,3,26,10,[(1,'Membrane: a lipid bilayer\nwith embedded proteins'),(1,'Organelle: a structure with its own job'),
   (2,'e.g. Golgi apparatus, lysosome, vacuole')])],
 [title('Reading for next week'),
  box(1,3,26,3,[('P2','Chapter 4, pages 61 to 88; questions 1, 4 and 7')])],
])
doc(S+'Product Launch EN-DE.fodp','Product Launch / Produkteinführung',[
 [title('Aurora Grinder: Product Launch'),
  box(1,3,26,3,[('P2','Aurora Kaffeemühle: Produkteinführung'),('P2','Berlin, 3 March 2027 / 3. März 2027')])],
 [title('Why Aurora? / Warum Aurora?'),
  bullets(1,3,12.5,11,[(1,'Ceramic burrs, 40 grind settings'),(1,'Quiet: under 60 dB'),(1,'Ships in April')]),
  bullets(14.5,3,12.5,11,[(1,'Keramik-Mahlwerk, 40 Mahlstufen'),(1,'Leise: unter 60 dB'),(1,'Lieferbar ab April')])],
 [title('Prices / Preise'),
  box(1,3,26,4,[('P2','Aurora: EUR 149, Aurora Pro: EUR 219'),('P2','Größe: 18 × 12 × 30 cm, Gewicht: 2,4 kg')])],
])
doc(S+'Field Trip Report.fodp','Field Trip Report',[
 [title('Field Trip Report: Lake Tarn'),
  box(1,3,26,2,[('P2','Year 9 geography, 21 May 2026')]),
  image(18,6,8,5,'land','Lake Tarn from the north shore')],
 [title('Measurements'),
  table(1,3,20,6,[['Site','Depth (m)','Temperature (°C)','pH'],['North shore','1.2','14.5','7.1'],
   ['Inlet','0.6','12.9','6.8'],['Centre','8.4','11.2','7.0']]),
  box(1,10,26,2,[('P2','Deepest reading at the centre; the inlet is coldest.')])],
 [title('Results'),
  image(1,3,12,8,'chart','Readings per site'),
  box(14,3,13,8,[('P2','Water clearer than last year'),('P2','Next visit in September')])],
])
doc(S+'Training Schedule.fodp','Training Schedule',[
 [title('Training Schedule, Week 12'),
  box(1,3,26,2,[('P5','Day\tTime\tRoom\tTrainer')]),
  box(1,5,26,8,[('P5','Monday\t09:00\tA1\tJ. Lindqvist'),('P5','Tuesday\t13:30\tB2\tM. Ferreira'),
   ('P5','Thursday\t10:00\tA1\tJ. Lindqvist'),('P5','Friday\t15:00\tLab 3\tS. Park')])],
 [title('Checklist'),
  box(1,3,26,8,[('P5','Laptop\tcharged\tyes'),('P5','Badge\tcollected\tno'),('P5','Safety briefing\tsigned\tyes')])],
])
