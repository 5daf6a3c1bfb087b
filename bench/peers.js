// Parses one file with an npm X12 parser, for bench/compare.sh: node peers.js TOOL FILE
// TOOL is node-x12 (whole text to an interchange object), x12-parser (a stream of segments, each
// dropped once counted) or x12-parser-kept (the same stream, every segment kept).
// Prints the number of segments read, so that every run is seen to have done the work.
'use strict';
const fs = require('fs');
const [tool, file] = process.argv.slice(2);

if (tool === 'node-x12') {
    const { X12Parser } = require('node-x12');
    const interchange = new X12Parser(false).parse(fs.readFileSync(file, 'utf8'));
    let segments = 2;
    for (const group of interchange.functionalGroups) {
        segments += 2;
        for (const transaction of group.transactions)
            segments += 2 + transaction.segments.length;
    }
    console.log(`${segments} segments`);
} else if (tool === 'x12-parser' || tool === 'x12-parser-kept') {
    // Streamed, each segment object is dropped once counted; "kept" holds them all, as a viewer
    // must to show the document.
    const { X12parser } = require('x12-parser');
    const kept = [];
    let segments = 0;
    fs.createReadStream(file)
        .pipe(new X12parser())
        .on('data', (segment) => {
            ++segments;
            if (tool === 'x12-parser-kept')
                kept.push(segment);
        })
        .on('end', () => console.log(`${segments} segments, ${kept.length} kept`))
        .on('error', (error) => { console.error(error); process.exit(1); });
} else {
    console.error('usage: node peers.js node-x12|x12-parser|x12-parser-kept FILE');
    process.exit(2);
}
