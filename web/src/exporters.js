// The model as GLB, OBJ or STL, by three.js's exporters, from a geometry of
// the drawn quads only: the vertices they name, their unit normals, and two
// triangles per quad wound counter-clockwise seen from outside.
import { BufferAttribute, BufferGeometry, Mesh, MeshStandardMaterial } from 'three';
import { GLTFExporter } from 'three/examples/jsm/exporters/GLTFExporter.js';
import { OBJExporter } from 'three/examples/jsm/exporters/OBJExporter.js';
import { STLExporter } from 'three/examples/jsm/exporters/STLExporter.js';

export const EXPORT_FORMATS = {
  glb: { type: 'model/gltf-binary', name: 'glTF 2.0, binary' },
  obj: { type: 'model/obj', name: 'Wavefront OBJ' },
  stl: { type: 'model/stl', name: 'STL, binary' },
};

function compactMesh(name, vertices, drawing) {
  const number = new Int32Array(drawing.used.length).fill(-1);
  let count = 0;
  for (let v = 0; v < number.length; ++v) if (drawing.used[v]) number[v] = count++;
  const positions = new Float32Array(3 * count);
  const normals = new Float32Array(3 * count);
  for (let v = 0; v < number.length; ++v) {
    const n = number[v];
    if (n < 0) continue;
    positions.set(vertices.subarray(6 * v + 3, 6 * v + 6), 3 * n);
    normals.set(drawing.normals.subarray(3 * v, 3 * v + 3), 3 * n);
  }
  const triangles = drawing.triangles.map((v) => number[v]);
  const geometry = new BufferGeometry();
  geometry.setAttribute('position', new BufferAttribute(positions, 3));
  geometry.setAttribute('normal', new BufferAttribute(normals, 3));
  geometry.setIndex(new BufferAttribute(triangles, 1));
  const mesh = new Mesh(geometry, new MeshStandardMaterial());
  mesh.name = name;
  return mesh;
}

// The file's bytes (an ArrayBuffer or a string) for format glb, obj or stl.
export async function exportModel(format, name, vertices, drawing) {
  const mesh = compactMesh(name, vertices, drawing);
  try {
    if (format === 'glb') return await new GLTFExporter().parseAsync(mesh, { binary: true });
    if (format === 'obj') return new OBJExporter().parse(mesh);
    if (format === 'stl') return new STLExporter().parse(mesh, { binary: true }).buffer;
    throw new Error(`no export to ${format}`);
  } finally {
    mesh.geometry.dispose();
  }
}
