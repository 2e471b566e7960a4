'use strict';
// The sample project converted into a temporary folder, and the tools the
// page checks need. Shared by the checks and the screenshot script.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFileSync, spawnSync } = require('node:child_process');

const repoRoot = path.resolve(__dirname, '..', '..');
const sampleDir = path.join(repoRoot, 'examples', 'sample');
const chromiumPath = process.env.POSTLOOM_CHROMIUM || '/usr/bin/chromium';

// CTest counts a test that exits with this status as skipped.
const SKIP_STATUS = 77;

// Exits as skipped when a program the checks drive is not installed, so a
// machine without a browser or Java still runs the rest of the tests.
function requireTools({ java = false } = {}) {
    const missing = [];
    try {
        fs.accessSync(chromiumPath, fs.constants.X_OK);
    } catch {
        missing.push(chromiumPath);
    }
    if (java && spawnSync('java', ['-version'], { stdio: 'ignore' }).status !== 0)
        missing.push('java');
    if (missing.length > 0) {
        console.log(`skipped: ${missing.join(' and ')} not installed (scripts/install-deps installs them)`);
        process.exit(SKIP_STATUS);
    }
    if (!fs.existsSync(path.join(__dirname, 'node_modules')))
        throw new Error(`${__dirname}/node_modules is missing: run scripts/install-deps`);
}

// The program that converts: --batch PATH on the command line, else the one
// scripts/convert-sample builds.
function batchProgram(argv = process.argv) {
    const at = argv.indexOf('--batch');
    const program = at >= 0 ? argv[at + 1] : path.join(repoRoot, 'build', 'plain', 'src', 'cli', 'postloom-batch');
    if (!program || !fs.existsSync(program))
        throw new Error(`postloom-batch not found at ${program}: build it or pass --batch PATH`);
    return program;
}

function filesUnder(dir, extension) {
    const found = [];
    for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
        const full = path.join(dir, entry.name);
        if (entry.isDirectory())
            found.push(...filesUnder(full, extension));
        else if (entry.isFile() && entry.name.endsWith(extension))
            found.push(full);
    }
    return found.sort();
}

// Copies the sample project to a new temporary folder and converts it there.
// Returns the folders, the index page, every page of the site (index
// included) and every stylesheet, as absolute paths; remove() deletes the
// copy.
function convertSample(program) {
    const root = fs.mkdtempSync(path.join(os.tmpdir(), 'postloom-pages-'));
    fs.cpSync(sampleDir, root, { recursive: true });
    execFileSync(program, ['--quiet', path.join(root, 'sample.plp')], { stdio: ['ignore', 'inherit', 'inherit'] });
    const site = path.join(root, 'site');
    const index = path.join(site, 'index.html');
    return {
        root,
        site,
        index,
        pages: filesUnder(site, '.html'),
        stylesheets: filesUnder(site, '.css'),
        remove: () => fs.rmSync(root, { recursive: true, force: true }),
    };
}

module.exports = { SKIP_STATUS, chromiumPath, repoRoot, requireTools, batchProgram, convertSample };
