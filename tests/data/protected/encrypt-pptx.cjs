// Writes the password-protected copies of a .pptx with officecrypto-tool: Agile encryption (its
// default) and Standard encryption. Usage: node encrypt-pptx.cjs IN.pptx OUT-DIR
const officeCrypto = require('officecrypto-tool');
const fs = require('fs');
const path = require('path');

const [input, outDir] = process.argv.slice(2);
const plain = fs.readFileSync(input);
fs.writeFileSync(path.join(outDir, 'agile.pptx'), officeCrypto.encrypt(plain, {password: 'Zebra-7 Ünïcode'}));
fs.writeFileSync(path.join(outDir, 'standard.pptx'), officeCrypto.encrypt(plain, {password: 'standard', type: 'standard'}));
